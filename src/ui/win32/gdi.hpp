#pragma once

#include <memory>
#include <type_traits>

#include "ui/view/traffic_rows.hpp"
#include "ui/win32/win32_ui.hpp"

namespace orvalix::ui::win32 {

// Owners of the GDI objects one paint makes.
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct MemoryDcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

// A window's device context, released with the window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for a scope; the previous one comes back at its end.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_ != nullptr) {
            ::SelectObject(dc_, previous_);
        }
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

inline COLORREF toColorRef(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

inline void fillSolid(HDC dc, const RECT& area, COLORREF colour) {
    const UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &area, brush.get());
}

}  // namespace orvalix::ui::win32
