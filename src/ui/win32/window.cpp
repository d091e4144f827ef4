#include "ui/win32/window.hpp"

#include <cwctype>
#include <typeinfo>

#include "core/platform/win32/system_message.hpp"
#include "core/text/text_conversion.hpp"
#include "ui/view/command_ids.hpp"

namespace orvalix::ui::win32 {
namespace {

constexpr wchar_t kDispatcherName[] = L"WndProcDispatcher";

bool parentIsMdiClient(HWND window) {
    const HWND parent = ::GetParent(window);
    if (parent == nullptr) {
        return false;
    }
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(parent, name, 256);
    if (length <= 0 || length >= 256) {
        return false;
    }
    for (int i = 0; i < length; ++i) {
        name[i] = static_cast<wchar_t>(std::towupper(name[i]));
    }
    return std::wstring_view(name, static_cast<std::size_t>(length)) == L"MDICLIENT";
}

// The object a window is being created for: the creation parameter, which for an MDI child
// sits inside the MDI creation structure.
Window* creationObject(HWND window, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (create == nullptr) {
        return nullptr;
    }
    if (parentIsMdiClient(window)) {
        const auto* mdiCreate = static_cast<const MDICREATESTRUCTW*>(create->lpCreateParams);
        return mdiCreate == nullptr ? nullptr : reinterpret_cast<Window*>(mdiCreate->lParam);
    }
    return static_cast<Window*>(create->lpCreateParams);
}

std::wstring classNameOf(const Window& object) {
    const std::u16string name = orvalix::toWide(typeid(object).name());
    return std::wstring(name.begin(), name.end());
}

}  // namespace

WindowException::WindowException() : WindowException(::GetLastError()) {}

WindowException::WindowException(std::uint32_t errorCode)
    : errorCode_(errorCode), text_(orvalix::platform::win32::systemMessage(errorCode)) {}

void Window::create(HINSTANCE instance, HWND parent, int controlId) {
    instance_ = instance;
    const std::wstring className = classNameOf(*this);
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    fillClassInfo(instance, className.c_str(), parent, kApplicationIcon, kMainMenu, info);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!::GetClassInfoExW(instance, className.c_str(), &existing) && ::RegisterClassExW(&info) == 0) {
        throw WindowException();
    }
    hwnd_ = createHandle(instance, className.c_str(), parent, controlId);
}

void Window::destroy() {
    if (hwnd_ == nullptr) {
        return;
    }
    // Its WM_DESTROY still reaches the handler, which may use the handle.
    ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

LRESULT Window::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Window::fillClassInfo(HINSTANCE instance, const wchar_t* className, HWND, int iconId, int menuId,
                           WNDCLASSEXW& info) {
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.lpfnWndProc = &Window::dispatch;
    info.cbClsExtra = 0;
    info.cbWndExtra = 0;
    info.hInstance = instance;
    info.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(iconId));
    info.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    info.lpszMenuName = MAKEINTRESOURCEW(menuId);
    info.lpszClassName = className;
    info.hIconSm = info.hIcon;
}

HWND Window::createHandle(HINSTANCE instance, const wchar_t* className, HWND parent, int controlId) {
    const bool child = parent != nullptr && controlId >= 1;
    const DWORD style = child ? WS_CHILD : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const HWND window = ::CreateWindowExW(0, className, L"", style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, parent,
                                          controlId > 0 ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId))
                                                        : nullptr,
                                          instance, this);
    if (window == nullptr) {
        throw WindowException();
    }
    return window;
}

LRESULT CALLBACK Window::dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE || message == WM_CREATE) {
        if (Window* object = creationObject(window, lParam)) {
            object->hwnd_ = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        }
    }
    auto* object = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return object->onMessage(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        const std::u16string text = orvalix::toWide(error.what());
        ::MessageBoxW(window, reinterpret_cast<const wchar_t*>(text.c_str()), kDispatcherName, MB_ICONERROR);
        return 0;
    }
}

}  // namespace orvalix::ui::win32
