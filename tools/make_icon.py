#!/usr/bin/env python3
# Draws the application icon (two devices exchanging frames over a line) and writes it as a
# Windows .ico with 32-bit images at the usual sizes. Python standard library only.
#
#   tools/make_icon.py src/ui/win32/resources/orvalix.ico

import struct, sys

SIZES = (16, 24, 32, 48, 64, 128)
SUPERSAMPLE = 4


def inside_rounded(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def shade(u, v):
    # The picture on a unit square: RGBA, or None for transparent.
    if not inside_rounded(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        return None
    colour = (int(18 + 30 * v), int(96 + 60 * (1 - v)), int(140 + 70 * (1 - v)))  # teal to deep blue
    for left, right in ((0.12, 0.40), (0.60, 0.88)):  # the two devices
        if inside_rounded(u, v, left, 0.30, right, 0.70, 0.05):
            colour = (245, 248, 250)
            if inside_rounded(u, v, left + 0.05, 0.37, right - 0.05, 0.52, 0.02):
                colour = (40, 60, 80)  # screen
            if (u - (left + 0.09)) ** 2 + (v - 0.61) ** 2 < 0.035 ** 2:
                colour = (120, 220, 100)  # status lamp, the received-row green
    if 0.40 < u < 0.60:  # the line between them, a frame travelling each way
        if abs(v - 0.42) < 0.025 or abs(v - 0.58) < 0.025:
            colour = (255, 214, 90)
    # arrow heads: to the right on the upper line, to the left on the lower one
    if 0.52 < u < 0.60 and abs(v - 0.42) < (0.60 - u) * 0.9:
        colour = (255, 214, 90)
    if 0.40 < u < 0.48 and abs(v - 0.58) < (u - 0.40) * 0.9:
        colour = (255, 214, 90)
    return colour + (255,)


def render(size):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    rgba = shade((x + (sx + 0.5) / SUPERSAMPLE) / size, (y + (sy + 0.5) / SUPERSAMPLE) / size)
                    if rgba:
                        for i in range(3):
                            total[i] += rgba[i]
                        total[3] += 1
            n = SUPERSAMPLE * SUPERSAMPLE
            alpha = total[3] * 255 // n
            row.append(tuple(total[i] // max(total[3], 1) for i in range(3)) + (alpha,))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + colour + bytes(mask_row * size)  # alpha decides; the mask stays clear


def main(path):
    images = [dib(size, render(size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as file:
        file.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
