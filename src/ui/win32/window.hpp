#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "ui/win32/win32_ui.hpp"

namespace ulm {

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

class Window;
// The message handler of one class of windows, given the object the window belongs to.
using MessageHandler = LRESULT (*)(Window& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Binds a Win32 window to an object: one window class per class of object, registered at the
// first create, and every message of the window routed to the class's handler with the object.
class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Registers the class when needed and makes the window; WindowException on failure.
    void create(HINSTANCE instance, HWND parent, int controlId, MessageHandler handler);
    // Destroys the window when it has one. A window the user closed is no window any more
    // and destroying it again does no harm.
    void destroy();

    HWND handle() const { return hwnd_; }
    HINSTANCE instance() const { return instance_; }

    // The window procedure of every class registered here.
    static LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void fillClassInfo(HINSTANCE instance, const wchar_t* className, HWND parent, int iconId, int menuId,
                               WNDCLASSEXW& info);
    virtual HWND createHandle(HINSTANCE instance, const wchar_t* className, HWND parent, int controlId);

private:
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    MessageHandler handler_ = nullptr;
};

}  // namespace ulm
