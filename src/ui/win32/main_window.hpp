#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/diagnostics/execution_trace.hpp"
#include "core/session/session.hpp"
#include "core/session/traffic_sink.hpp"
#include "ui/win32/traffic_window.hpp"
#include "ui/win32/window.hpp"

namespace Orvalix {

// The multiple-document frame: the menu's commands, one traffic window per usable environment
// and the update pump's timer. The run itself is the session's; this window drives it and is
// its sink.
class MainWindow final : public orvalix::ui::win32::Window, private orvalix::TrafficSink {
public:
    // The trace is the user-interface thread's and must outlive the window.
    explicit MainWindow(orvalix::ExecutionTrace& trace);
    ~MainWindow() override;

    void create(HINSTANCE instance);
    // Loads the folder and makes fresh streams and windows for it.
    void openFolder(std::u16string_view folder);

protected:
    void fillClassInfo(HINSTANCE instance, const wchar_t* className, HWND parent, int iconId, int menuId,
                       WNDCLASSEXW& info) override;

private:
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void onCreate();
    void onSize(int width, int height);
    void onClose();
    void onTimer();
    void onInitMenuPopup(HMENU popup, int position);
    bool onCommand(int command);
    void chooseFolder();
    void start();
    // Stops a running capture, or asks for a file and starts one.
    void toggleCapture();
    void showEnvironment(std::size_t k);
    void updateTitle();
    void destroyTrafficWindows();
    std::unique_ptr<TrafficWindow> makeTrafficWindow(const std::u16string& environment);
    void armPump();

    // TrafficSink: the session's output.
    void onEvent(const orvalix::TrafficEvent& event) override;
    void folderOpened(const std::vector<std::u16string>& usable);
    void serviceFailed(const std::string& text);
    static std::u16string lossStatus(const orvalix::LossCounted& loss);
    // What the user should know of the run without a box to dismiss: the newest such line.
    void showStatus(const std::u16string& text);

    static constexpr int kMdiClientId = 20000;
    static constexpr int kStatusBarId = 2;
    static constexpr UINT_PTR kPumpTimer = 1;
    static constexpr UINT kPumpPeriodMilliseconds = 333;

    orvalix::ExecutionTrace& trace_;
    HWND mdiClient_ = nullptr;
    HWND statusBar_ = nullptr;
    UINT_PTR timerId_ = 0;
    std::map<std::u16string, std::unique_ptr<TrafficWindow>, std::less<>> windows_;
    // Last: the session (and with it the service thread) goes before the windows it feeds.
    orvalix::Session session_;
};

}  // namespace Orvalix

namespace orvalix::ui::win32 {

// Records the text in the trace and shows it with an error icon, captioned with the product name.
void showErrorBox(ExecutionTrace& trace, HWND owner, const std::string& text);

}  // namespace orvalix::ui::win32
