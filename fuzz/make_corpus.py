#!/usr/bin/env python3
"""Builds the fuzzers' seed corpora from the example data folders and fuzz/seeds.

usage: make_corpus.py OUTPUT_DIR    (writes OUTPUT_DIR/<fuzzer>/<sha1 of the seed>)

Each seed is written in the input format that the fuzzer's source file describes. The
examples are read with Python's csv module, which is close enough to our quote rules for
picking seeds.
"""
import csv
import hashlib
import io
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SEPARATOR = b"\x1e"
MAX_FRAME_FILES = 5
# A status request with its CRC, as the examples' devices receive it.
REQUEST = bytes.fromhex("02530703bcd6")
# Words of the language that look like names but read no buffer.
FUNCTIONS = {
    "CRC_CCITT1", "SUM", "BCC", "BCC2", "CRC", "CRC8", "CRC16_ARC", "CRC16_MODBUS", "CRC16_XMODEM",
    "CRC16_IBM3740", "CRC16_KERMIT", "CRC16_DNP", "CRC32", "CRC32C", "LE16", "BE16", "LE32", "BE32",
    "LEN", "COPY",
}


def rows_of(data: bytes):
    text = data.decode("utf-8-sig", errors="replace")
    return list(csv.reader(io.StringIO(text)))


def cell(row, column):
    return row[column] if column < len(row) else ""


def example_folders():
    return sorted(p for p in (ROOT / "examples").iterdir() if p.is_dir())


def csv_seeds():
    for folder in example_folders():
        for path in sorted(folder.glob("*.csv")):
            yield path.read_bytes()


def expression_texts():
    for folder in example_folders():
        for path in sorted(folder.glob("*.csv")):
            rows = rows_of(path.read_bytes())
            if path.name.endswith((".Sequences.csv", ".Named.csv")):
                columns, first = (1, 2, 3), 1
            elif path.name.endswith(".Environments.csv"):
                continue
            else:
                columns, first = (1,), 2
            for row in rows[first:]:
                for column in columns:
                    text = cell(row, column).strip()
                    if text and not text.startswith(";"):
                        yield text


def expression_seeds():
    for text in expression_texts():
        names = sorted(set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text)) - FUNCTIONS)
        buffers = [name.encode() + b"=" + REQUEST for name in names[:4]] or [REQUEST]
        yield text.encode() + b"\0" + SEPARATOR.join(buffers)


def endpoint_seeds():
    for folder in example_folders():
        for path in sorted(folder.glob("*.Environments.csv")):
            rows = rows_of(path.read_bytes())
            for setting in (0, 9):
                if setting + 1 < len(rows):
                    yield cell(rows[setting + 1], 2).encode()


def frame_piece(folder: Path, name: str):
    path = folder / (name + ".csv")
    if "/" in name or not path.is_file():
        return None
    return name.encode() + b"\n" + path.read_bytes()


def loader_seeds():
    for folder in example_folders():
        for environment in sorted(folder.glob("*.Environments.csv")):
            name = environment.name.split(".")[0]
            pieces = [environment.read_bytes()]
            frames = []
            for suffix in (".Sequences.csv", ".Named.csv"):
                path = folder / (name + suffix)
                data = path.read_bytes() if path.is_file() else b""
                pieces.append(data)
                if suffix == ".Sequences.csv":
                    frames = [cell(row, 2) for row in rows_of(data)[1:]]
            for frame in dict.fromkeys(f for f in frames if f):
                piece = frame_piece(folder, frame)
                if piece is not None and len(pieces) < 3 + MAX_FRAME_FILES:
                    pieces.append(piece)
            yield SEPARATOR.join(pieces)


def build_frame_seeds():
    for folder in example_folders():
        for path in sorted(folder.glob("*.csv")):
            if not path.name.endswith((".Environments.csv", ".Sequences.csv", ".Named.csv")):
                yield path.read_bytes() + SEPARATOR + REQUEST


GENERATORS = {
    "fuzz_csv": csv_seeds,
    "fuzz_expression": expression_seeds,
    "fuzz_udp_endpoint": endpoint_seeds,
    "fuzz_loaders": loader_seeds,
    "fuzz_build_frame": build_frame_seeds,
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    output = Path(sys.argv[1])
    for fuzzer, generate in GENERATORS.items():
        folder = output / fuzzer
        folder.mkdir(parents=True, exist_ok=True)
        handmade = sorted((ROOT / "fuzz" / "seeds" / fuzzer).glob("*"))
        seeds = list(generate()) + [path.read_bytes() for path in handmade if path.is_file()]
        for seed in seeds:
            (folder / hashlib.sha1(seed).hexdigest()).write_bytes(seed)
        print(f"{fuzzer}: {len(set(seeds))} seeds in {folder}")


if __name__ == "__main__":
    main()
