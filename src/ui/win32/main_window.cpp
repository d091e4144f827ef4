#include "ui/win32/main_window.hpp"

#include <commdlg.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "core/platform/user_language.hpp"
#include "core/session/run_notices.hpp"
#include "core/text/text_conversion.hpp"
#include "ui/view/command_ids.hpp"
#include "ui/view/menu_state.hpp"
#include "ui/view/status_texts.hpp"
#include "ui/view/ui_texts.hpp"
#include "ui/view/window_texts.hpp"
#include "ui/win32/about_dialog.hpp"
#include "ui/win32/fault_seed_dialog.hpp"
#include "ui/win32/version_info.hpp"

namespace orvalix::ui::win32 {

void showErrorBox(ExecutionTrace& trace, HWND owner, const std::string& text) {
    trace.record(text);
    const std::u16string message = toWide(text);
    const std::u16string caption = productName();
    ::MessageBoxW(owner, wide(message), wide(caption), MB_ICONERROR);
}

}  // namespace orvalix::ui::win32

namespace Orvalix {
namespace {

using orvalix::ui::win32::askFaultSeed;
using orvalix::ui::win32::fromWide;
using orvalix::ui::win32::productName;
using orvalix::ui::win32::showAboutDialog;
using orvalix::ui::win32::showErrorBox;
using orvalix::ui::win32::wide;
using orvalix::ui::win32::WindowException;

constexpr DWORD kStillActive = 259;

bool pathExists(const std::u16string& path) {
    return !path.empty() && ::PathFileExistsW(wide(path));
}

// Preselects the current data folder when the folder dialog opens.
int CALLBACK folderDialogCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

}  // namespace

MainWindow::MainWindow(orvalix::ExecutionTrace& trace)
    : trace_(trace), session_(trace, *this, orvalix::ServiceOptions{{}, orvalix::platform::userLanguage()}) {}

MainWindow::~MainWindow() {
    // Children before the frame: destroying an MDI frame that still has children is not safe
    // everywhere.
    destroyTrafficWindows();
    destroy();
}

void MainWindow::create(HINSTANCE instance) { Window::create(instance, nullptr, 0); }

void MainWindow::fillClassInfo(HINSTANCE instance, const wchar_t* className, HWND parent, int iconId, int menuId,
                               WNDCLASSEXW& info) {
    Window::fillClassInfo(instance, className, parent, iconId, menuId, info);
    info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
}

LRESULT MainWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onCreate();
        return 0;
    case WM_SIZE:
        onSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wParam == timerId_) {
            onTimer();
        }
        return 0;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) == 0) {  // not a system menu
            onInitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam));
        }
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) <= 1 && onCommand(LOWORD(wParam))) {  // menu or accelerator
            return 0;
        }
        break;
    default:
        break;
    }
    return ::DefFrameProcW(window, mdiClient_, message, wParam, lParam);
}

void MainWindow::onCreate() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    CLIENTCREATESTRUCT client{nullptr, kMdiClientId + 1};
    mdiClient_ = ::CreateWindowExW(0, L"MDICLIENT", nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | MDIS_ALLCHILDSTYLES, 0,
                                   0, 0, 0, handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMdiClientId)),
                                   instance(), &client);
    if (mdiClient_ == nullptr) {
        throw WindowException();
    }
    statusBar_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                   handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance(),
                                   nullptr);
    if (statusBar_ == nullptr) {
        throw WindowException();
    }
    ::SendMessageW(statusBar_, SB_SIMPLE, TRUE, 0);
    updateTitle();
}

void MainWindow::onSize(int width, int height) {
    RECT status{};
    const int statusHeight = ::GetWindowRect(statusBar_, &status) ? status.bottom - status.top : 0;
    ::MoveWindow(mdiClient_, 0, 0, width, height - statusHeight, FALSE);
    ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
}

void MainWindow::onClose() {
    if (session_.runActive()) {
        const auto texts = orvalix::ui::uiTexts(orvalix::platform::userLanguage());
        const std::u16string prompt(texts.exitPrompt);
        const std::u16string caption = productName();
        if (::MessageBoxW(handle(), wide(prompt), wide(caption), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) !=
            IDYES) {
            return;
        }
    }
    session_.stop();
    destroyTrafficWindows();
    destroy();
}

void MainWindow::onTimer() {
    // One-shot in effect: armed again only while the run goes on.
    ::KillTimer(handle(), timerId_);
    timerId_ = 0;
    session_.tick();
    if (const auto failure = session_.takeCaptureFailure()) {
        showStatus(orvalix::ui::captureStoppedStatus(orvalix::platform::userLanguage(),
                                                     failure->file.u16string(),
                                                     orvalix::toWide(failure->error.message())));
    }
    if (session_.pumpArmed()) {
        armPump();
    }
}

void MainWindow::armPump() { timerId_ = ::SetTimer(handle(), kPumpTimer, kPumpPeriodMilliseconds, nullptr); }

void MainWindow::onInitMenuPopup(HMENU popup, int position) {
    BOOL maximized = FALSE;
    ::SendMessageW(mdiClient_, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized));
    switch (orvalix::ui::popupAt(position, maximized != FALSE)) {
    case orvalix::ui::MenuPopup::File:
        ::EnableMenuItem(popup, orvalix::ui::kCommandOpen,
                         MF_BYCOMMAND | (session_.runActive() ? MF_GRAYED : MF_ENABLED));
        break;
    case orvalix::ui::MenuPopup::Run:
        ::CheckMenuItem(popup, orvalix::ui::kCommandPause,
                        MF_BYCOMMAND | (session_.paused() ? MF_CHECKED : MF_UNCHECKED));
        {
            const auto& texts = orvalix::ui::uiTexts(orvalix::platform::userLanguage());
            const std::u16string item(session_.capturing() ? texts.stopCaptureItem : texts.captureItem);
            ::ModifyMenuW(popup, orvalix::ui::kCommandCapture, MF_BYCOMMAND | MF_STRING, orvalix::ui::kCommandCapture,
                          wide(item));
            const std::u16string onArrival(texts.onArrivalItem);
            ::ModifyMenuW(popup, orvalix::ui::kCommandOnArrival,
                          MF_BYCOMMAND | MF_STRING | (session_.onArrival() ? MF_CHECKED : MF_UNCHECKED),
                          orvalix::ui::kCommandOnArrival, wide(onArrival));
            const std::u16string faultSeed(texts.faultSeedItem);
            ::ModifyMenuW(popup, orvalix::ui::kCommandFaultSeed, MF_BYCOMMAND | MF_STRING,
                          orvalix::ui::kCommandFaultSeed, wide(faultSeed));
        }
        break;
    case orvalix::ui::MenuPopup::View:
        for (int item = ::GetMenuItemCount(popup) - 1; item >= orvalix::ui::kFixedViewItems; --item) {
            ::DeleteMenu(popup, static_cast<UINT>(item), MF_BYPOSITION);
        }
        for (const auto& entry : orvalix::ui::environmentMenuEntries(session_.usableEnvironments())) {
            if (entry.separator) {
                ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            } else {
                ::AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(entry.command), wide(entry.text));
            }
        }
        break;
    default:
        break;
    }
}

bool MainWindow::onCommand(int command) {
    using namespace orvalix::ui;
    switch (command) {
    case kCommandOpen:
        chooseFolder();
        return true;
    case kCommandExit:
        ::PostMessageW(handle(), WM_CLOSE, 0, 0);
        return true;
    case kCommandStart:
        start();
        return true;
    case kCommandStop:
        session_.stop();  // the pump's pending tick does the rest
        return true;
    case kCommandPause:
        session_.setPaused(!session_.paused());
        return true;
    case kCommandCapture:
        toggleCapture();
        return true;
    case kCommandOnArrival:
        session_.setOnArrival(!session_.onArrival());  // from the next start
        return true;
    case kCommandFaultSeed:
        if (const auto seed = askFaultSeed(instance(), handle(), session_.faultSeed())) {
            session_.setFaultSeed(*seed);
        }
        return true;
    case kCommandTile:
        ::TileWindows(mdiClient_, MDITILE_HORIZONTAL | MDITILE_SKIPDISABLED, nullptr, 0, nullptr);
        return true;
    case kCommandCascade:
        ::CascadeWindows(mdiClient_, MDITILE_SKIPDISABLED | MDITILE_ZORDER, nullptr, 0, nullptr);
        return true;
    case kCommandAbout:
        showAboutDialog(instance(), handle());
        return true;
    default:
        break;
    }
    if (const auto k = environmentOfCommand(command, session_.usableEnvironments().size())) {
        showEnvironment(*k);
        return true;
    }
    return false;
}

void MainWindow::chooseFolder() {
    const std::u16string title(orvalix::ui::kFolderDialogTitle);
    const std::u16string current = session_.project().dataFolder;
    BROWSEINFOW browse{};
    browse.hwndOwner = handle();
    browse.lpszTitle = wide(title);
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_UAHINT | BIF_NONEWFOLDERBUTTON;
    browse.lpfn = &folderDialogCallback;
    browse.lParam = reinterpret_cast<LPARAM>(wide(current));
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (chosen == nullptr) {
        return;  // cancelled
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL found = ::SHGetPathFromIDListW(chosen, path);
    ::CoTaskMemFree(chosen);
    if (found) {
        openFolder(fromWide(path));
    }
}

void MainWindow::openFolder(std::u16string_view folder) {
    // The windows go before the streams they show.
    destroyTrafficWindows();
    session_.open(folder);  // calls folderOpened, which makes the new windows
}

void MainWindow::folderOpened(const std::vector<std::u16string>& usable) {
    updateTitle();
    for (const std::u16string& name : usable) {
        windows_.emplace(name, makeTrafficWindow(name));
    }
}

std::unique_ptr<TrafficWindow> MainWindow::makeTrafficWindow(const std::u16string& environment) {
    auto window = std::make_unique<TrafficWindow>(*session_.stream(environment));
    window->create(instance(), mdiClient_);
    ::SetWindowTextW(window->handle(), wide(environment));
    ::ShowWindow(window->handle(), SW_SHOWDEFAULT);
    ::UpdateWindow(window->handle());
    return window;
}

void MainWindow::destroyTrafficWindows() {
    for (auto& [name, window] : windows_) {
        if (::IsWindow(window->handle())) {
            ::SendMessageW(mdiClient_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window->handle()), 0);
        }
        window->destroy();
    }
    windows_.clear();
}

void MainWindow::start() {
    // The last run's port events are no news in this one.
    ::SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L""));
    if (session_.start() && session_.pumpArmed()) {
        armPump();
    }
}

void MainWindow::toggleCapture() {
    if (session_.capturing()) {
        session_.stopCapture();
        return;
    }
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = handle();
    dialog.lpstrFilter = L"pcapng (*.pcapng)\0*.pcapng\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"pcapng";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&dialog)) {
        return;  // cancelled
    }
    const std::u16string path = fromWide(file);
    if (const std::error_code error = session_.startCapture(std::filesystem::path(path))) {
        const auto& texts = orvalix::ui::uiTexts(orvalix::platform::userLanguage());
        // The system's reason on a line of its own, as the Can't open box has it.
        showErrorBox(trace_, handle(),
                     orvalix::toNarrow(std::u16string(texts.captureFailed) + path) + "\n" + error.message());
    }
}

void MainWindow::showEnvironment(std::size_t k) {
    const std::u16string& name = session_.usableEnvironments()[k];
    if (session_.stream(name) == nullptr) {
        return;
    }
    const auto found = windows_.find(name);
    if (found != windows_.end() && ::IsWindow(found->second->handle())) {
        ::SetWindowPos(found->second->handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
        return;
    }
    // The user closed it: a new window on the same stream shows the whole history at once.
    if (found != windows_.end()) {
        found->second->destroy();
        windows_.erase(found);
    }
    windows_.emplace(name, makeTrafficWindow(name));
}

void MainWindow::updateTitle() {
    const std::u16string& folder = session_.project().dataFolder;
    const std::u16string title = orvalix::ui::mainWindowTitle(productName(), folder, pathExists(folder));
    ::SetWindowTextW(handle(), wide(title));
}

void MainWindow::onEvent(const orvalix::TrafficEvent& event) {
    using namespace orvalix;
    const auto show = EventHandlers{
        [&](const FolderOpened& opened) { folderOpened(opened.usableEnvironments); },
        [](const RecordPumped&) {},  // the windows show their streams, refreshed once a tick
        [&](const StreamUpdated& updated) {
            const auto found = windows_.find(updated.environment);
            if (found != windows_.end()) {
                found->second->refresh(updated.addedMarks, updated.appendedRecords);
            }
        },
        [&](const LogFileStarted& started) {
            if (started.log.path.empty()) {  // the recording has no file: say so
                showStatus(toWide(startedLogNotice(started.environment, started.log)));
            }
        },
        [&](const LogFileStopped& stopped) { showStatus(toWide(stoppedLogNotice(stopped.environment, stopped.log))); },
        [&](const RecordingsRefused& refused) {
            showStatus(toWide(refusedRecordingsNotice(refused.environment, refused.refused)));
        },
        [&](const ServiceFailed& failed) { serviceFailed(failed.text); },
        [&](const PortLost& lost) {
            showStatus(ui::portLostStatus(platform::userLanguage(), lost.environment, lost.port,
                                          toWide(lost.reason)));
        },
        [&](const ConnectionOpened& opened) {
            showStatus(toWide(connectionOpenedNotice(opened.environment, opened.peer,
                                                     platform::userLanguage())));
        },
        [&](const ConnectionClosed& closed) {
            showStatus(toWide(connectionClosedNotice(closed.environment, closed.peer,
                                                     platform::userLanguage())));
        },
        [&](const ConnectFailed& failed) {
            showStatus(toWide(connectFailedNotice(failed.environment, failed.port, failed.reason,
                                                  platform::userLanguage())));
        },
        [&](const LossCounted& loss) { showStatus(lossStatus(loss)); },
    };
    std::visit(show, event);
}

void MainWindow::serviceFailed(const std::string& text) {
    // The session has already put the text into the trace.
    const std::u16string message = orvalix::toWide(text);
    const std::u16string caption = productName();
    ::MessageBoxW(handle(), wide(message), wide(caption), MB_ICONERROR);
}

void MainWindow::showStatus(const std::u16string& text) {
    // The status bar shows the latest event only; the trace keeps them all.
    trace_.record(orvalix::toNarrow(text));
    ::SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide(text)));
}

std::u16string MainWindow::lossStatus(const orvalix::LossCounted& loss) {
    const orvalix::Language language = orvalix::platform::userLanguage();
    switch (loss.kind) {
    case orvalix::Loss::datagrams:
        return orvalix::ui::datagramsDroppedStatus(language, loss.environment, loss.added, loss.total);
    case orvalix::Loss::sends:
        return orvalix::toWide(orvalix::sendsDroppedNotice(loss.environment, loss.added, loss.total, language));
    case orvalix::Loss::records:
        return orvalix::toWide(orvalix::recordsLostNotice(loss.environment, loss.added, loss.total, language));
    }
    return {};
}

}  // namespace Orvalix
