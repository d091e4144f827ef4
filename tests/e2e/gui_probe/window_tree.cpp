#include "window_tree.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "remote_list_view.hpp"

namespace orvalix::gui_probe {
namespace {

constexpr UINT kReplyTimeoutMs = 2000;
constexpr std::wstring_view kListViewClass = L"SysListView32";

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

void describeList(JsonOutput& out, HWND list) {
    out.field("items", std::int64_t{listItemCount(list)});
    const auto columns = readListColumns(list);
    if (!columns) {
        return;
    }
    out.key("columns");
    out.beginArray();
    for (const auto& column : *columns) {
        out.beginObject();
        out.field("title", std::wstring_view(column.title));
        out.field("width", std::int64_t{column.width});
        out.endObject();
    }
    out.endArray();
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kReplyTimeoutMs, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

}  // namespace

void describeWindow(JsonOutput& out, HWND window) {
    const std::wstring windowClass = className(window);

    out.beginObject();
    out.field("class", std::wstring_view(windowClass));
    out.field("title", std::wstring_view(windowText(window)));
    out.field("id", std::int64_t{GetDlgCtrlID(window)});
    RECT rect{};
    GetWindowRect(window, &rect);
    out.key("rect");
    out.beginArray();
    for (const LONG edge : {rect.left, rect.top, rect.right, rect.bottom}) {
        out.value(std::int64_t{edge});
    }
    out.endArray();
    if (windowClass == kListViewClass) {
        describeList(out, window);
    }
    out.key("children");
    out.beginArray();
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        describeWindow(out, child);
    }
    out.endArray();
    out.endObject();
}

}  // namespace orvalix::gui_probe
