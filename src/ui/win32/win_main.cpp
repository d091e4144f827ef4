// The desktop application's entry point: trace, sockets, the main window, the data folder
// from the command line, the message loop, and the trace beside the executable at the end.

#include "core/platform/win32/windows_headers.hpp"

#include <objbase.h>
#include <shlwapi.h>

#include <exception>
#include <filesystem>

#include "core/diagnostics/execution_trace.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/module_path.hpp"
#include "core/platform/sockets_startup.hpp"
#include "core/platform/timer_resolution.hpp"
#include "ui/view/command_ids.hpp"
#include "ui/view/command_line_folder.hpp"
#include "ui/win32/main_window.hpp"

namespace {

using orvalix::ui::win32::fromWide;
using orvalix::ui::win32::wide;

// The folder dialog needs COM in the user-interface thread.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

orvalix::ui::FolderQueries fileSystemQueries() {
    return {
        [](std::u16string_view path) { return ::PathIsDirectoryW(wide(std::u16string(path))) != FALSE; },
        [](std::u16string_view path) {
            std::u16string buffer(path);
            buffer.resize(std::max<std::size_t>(buffer.size(), MAX_PATH));
            ::PathRemoveFileSpecW(reinterpret_cast<wchar_t*>(buffer.data()));
            return fromWide(reinterpret_cast<const wchar_t*>(buffer.c_str()));
        },
    };
}

// Runs the main window until the message loop ends; returns the quit code.
int runMainWindow(HINSTANCE instance, const wchar_t* commandLine, int showCommand, orvalix::ExecutionTrace& trace) {
    Orvalix::MainWindow window(trace);
    window.create(instance);
    ::ShowWindow(window.handle(), showCommand);
    ::UpdateWindow(window.handle());

    if (const auto folder = orvalix::ui::dataFolderFromCommandLine(fromWide(commandLine), fileSystemQueries())) {
        window.openFolder(*folder);
    }

    const HACCEL accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(ORVALIX_IDR_MAIN_MENU));
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Accelerators are the main window's, whichever of its children has the focus.
        if (::TranslateAcceleratorW(window.handle(), accelerators, &message) == 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    namespace messages = orvalix::trace_messages;
    orvalix::ExecutionTrace trace(messages::kPrimaryTraceCapacity);
    trace.record(messages::kStartApplication);
    orvalix::platform::keepTimerResolutionWhenHidden();

    int exitCode = 0;
    {
        const orvalix::platform::SocketsStartup sockets;
        if (!sockets.started()) {
            trace.record(messages::kFailedToInitializeWinSock);
        }
        const ComApartment com;
        try {
            exitCode = runMainWindow(instance, commandLine, showCommand, trace);
        } catch (const std::exception& error) {
            orvalix::ui::win32::showErrorBox(trace, nullptr, error.what());
        }
    }
    trace.dumpToFile(orvalix::platform::executableFolder() / std::string(messages::kPrimaryTraceFile));
    return exitCode;
}
