#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "ui/win32/win32_ui.hpp"

namespace orvalix::ui::win32 {

// A window that could not be made: the system's message for the error code.
class WindowException : public std::exception {
public:
    WindowException();  // the calling thread's last error
    explicit WindowException(std::uint32_t errorCode);

    const char* what() const noexcept override { return text_.c_str(); }
    std::uint32_t errorCode() const noexcept { return errorCode_; }

private:
    std::uint32_t errorCode_;
    std::string text_;
};

// Binds a Win32 window to an object: one window class per class of object, registered at the
// first create, and every message of the window routed to the object's onMessage. The window
// class is named after the object's C++ type (typeid, "N7Orvalix10MainWindowE" with MinGW), so
// renaming a window class or its namespace renames what Windows and the GUI test see.
class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Registers the class when needed and makes the window; WindowException on failure.
    void create(HINSTANCE instance, HWND parent, int controlId);
    // Destroys the window when it has one. A window the user closed is no window any more
    // and destroying it again does no harm.
    void destroy();

    HWND handle() const { return hwnd_; }
    HINSTANCE instance() const { return instance_; }

    // The window procedure of every class registered here.
    static LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Every message of the window; the default leaves them all to DefWindowProcW.
    virtual LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void fillClassInfo(HINSTANCE instance, const wchar_t* className, HWND parent, int iconId, int menuId,
                               WNDCLASSEXW& info);
    virtual HWND createHandle(HINSTANCE instance, const wchar_t* className, HWND parent, int controlId);

private:
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
};

}  // namespace orvalix::ui::win32
