#include "ui/win32/traffic_window.hpp"

#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/platform/user_language.hpp"
#include "ui/view/list_refresh.hpp"
#include "ui/view/traffic_columns.hpp"
#include "ui/view/traffic_rows.hpp"
#include "ui/win32/gdi.hpp"

namespace Orvalix {
namespace {

using namespace orvalix::ui;
using namespace orvalix::ui::win32;

constexpr UINT_PTR kListSubclass = 1;

// The lists draw nothing themselves, not even their background.
LRESULT CALLBACK listSubclass(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}

std::optional<int> measureText(HWND list, std::u16string_view probe) {
    const WindowDc dc(list);
    if (dc.get() == nullptr) {
        return std::nullopt;
    }
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0));
    const Selection selected(dc.get(), font);
    SIZE size{};
    if (!::GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(probe.data()),
                                 static_cast<int>(probe.size()), &size)) {
        return std::nullopt;
    }
    return size.cx;
}

// The probe's width, widened to the title's where that is longer, so that no title is cut
// (an English "Length" is wider than four digits).
std::optional<int> measureColumn(HWND list, const ColumnSpec& column) {
    const std::optional<int> probe = measureText(list, column.probe);
    const std::optional<int> title = measureText(list, column.title);
    if (!probe) {
        return std::nullopt;
    }
    // The header keeps a margin either side of its text.
    constexpr int kHeaderMargins = 2 * kColumnPadding;
    return std::max(*probe, title.value_or(0) + kHeaderMargins);
}

// Inserts the columns; returns their total width.
int insertColumns(HWND list, const std::vector<ColumnSpec>& columns) {
    int total = 0;
    for (std::size_t j = 0; j < columns.size(); ++j) {
        const ColumnSpec& column = columns[j];
        const int width = columnWidth(column, column.probe.empty() ? std::nullopt : measureColumn(list, column));
        std::u16string title = column.title;
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.cx = width;
        info.pszText = const_cast<wchar_t*>(wide(title));
        if (column.alignment != ColumnAlignment::Left) {
            info.mask |= LVCF_FMT;
            info.fmt = column.alignment == ColumnAlignment::Right ? LVCFMT_RIGHT : LVCFMT_CENTER;
        }
        if (::SendMessageW(list, LVM_INSERTCOLUMNW, j, reinterpret_cast<LPARAM>(&info)) < 0) {
            throw WindowException();
        }
        total += width;
    }
    return total;
}

UINT drawFlags(ColumnAlignment alignment) {
    const UINT common = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    switch (alignment) {
    case ColumnAlignment::Right:
        return common | DT_RIGHT;
    case ColumnAlignment::Centre:
        return common | DT_CENTER;
    case ColumnAlignment::Left:
        break;
    }
    return common | DT_LEFT;
}

void drawText(HDC dc, const RECT& cell, const std::u16string& text, ColumnAlignment alignment) {
    if (text.empty()) {
        return;
    }
    RECT inner{cell.left + 3, cell.top + 1, cell.right - 3, cell.bottom - 1};
    ::DrawTextW(dc, wide(text), -1, &inner, drawFlags(alignment));
}

bool isSelected(HWND list, int item) {
    return (::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

int selectedItem(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int itemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void setItemCount(HWND list, int count, DWORD flags) {
    ::SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), flags);
}

void selectItem(HWND list, int item) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = item >= 0 ? LVIS_SELECTED : 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
}

// The common frame of a mark-list or byte-list cell: highlighted when the row is selected.
void drawSelectableCell(HWND list, HDC dc, int item, const RECT& cell) {
    const bool selected = isSelected(list, item);
    fillSolid(dc, cell, ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    if (selected) {
        ::DrawFocusRect(dc, &cell);
    }
}

std::vector<ColumnAlignment> alignmentsOf(const std::vector<ColumnSpec>& columns) {
    std::vector<ColumnAlignment> alignments;
    for (const ColumnSpec& column : columns) {
        alignments.push_back(column.alignment);
    }
    return alignments;
}

}  // namespace

// What one paint of a list reads once rather than per cell.
struct TrafficWindow::PaintState {
    std::vector<ColumnAlignment> alignments;
    int markedRecord = -1;             // record list: the selected mark's record
    std::vector<std::uint8_t> record;  // byte list: the selected record's bytes
};

TrafficWindow::TrafficWindow(orvalix::TrafficStream& stream) : stream_(stream) {}

TrafficWindow::~TrafficWindow() { destroy(); }

void TrafficWindow::create(HINSTANCE instance, HWND mdiClient) {
    Window::create(instance, mdiClient, 0);
}

HWND TrafficWindow::createHandle(HINSTANCE instance, const wchar_t* className, HWND parent, int) {
    const HWND window = ::CreateWindowExW(WS_EX_MDICHILD, className, L"Traffic",
                                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                                          instance, this);
    if (window == nullptr) {
        throw WindowException();
    }
    return window;
}

LRESULT TrafficWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        buildLists();
        return 0;
    case WM_DESTROY:
        return 0;
    case WM_SIZE:
        layout({0, 0, LOWORD(lParam), HIWORD(lParam)});
        ::DefMDIChildProcW(window, message, wParam, lParam);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(window, &paint);
        for (const Rect& bar : {splitters_.first, splitters_.second}) {
            const RECT area{bar.left, bar.top, bar.right, bar.bottom};
            RECT overlap{};
            if (::IntersectRect(&overlap, &area, &paint.rcPaint)) {
                fillSolid(dc, area, ::GetSysColor(COLOR_BTNFACE));
            }
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_LBUTTONDOWN:
        onButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        onMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        dragging_ = SplitterBar::None;
        ::ReleaseCapture();
        return 0;
    case WM_MOUSELEAVE:
        return 0;
    default:
        return ::DefMDIChildProcW(window, message, wParam, lParam);
    }
}

void TrafficWindow::buildLists() {
    RECT client{};
    if (!::GetClientRect(handle(), &client)) {
        throw WindowException();
    }
    const UiTexts& texts = uiTexts(orvalix::platform::userLanguage());
    const auto makeList = [&](int id, bool singleSelection, DWORD extendedStyle) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LVS_REPORT | LVS_OWNERDATA | LVS_NOSORTHEADER;
        if (singleSelection) {
            style |= LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        }
        const HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, handle(),
                                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
        if (list == nullptr || !::SetWindowSubclass(list, &listSubclass, kListSubclass, 0)) {
            throw WindowException();
        }
        ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extendedStyle, extendedStyle);
        return list;
    };
    const DWORD rowSelection = LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE;
    markList_ = makeList(kMarkList, true, rowSelection);
    const int markWidth = insertColumns(markList_, markListColumns(texts));
    recordList_ = makeList(kRecordList, true, rowSelection);
    const int recordWidth = insertColumns(recordList_, recordListColumns(texts));
    byteList_ = makeList(kByteList, false, 0);
    insertColumns(byteList_, byteListColumns(texts));

    splitters_ = initialSplitters(markWidth, recordWidth, ::GetSystemMetrics(SM_CXVSCROLL));
    layout({client.left, client.top, client.right, client.bottom});
    // A window made later shows the history the stream already holds.
    setItemCount(markList_, stream_.markCount(), LVSICF_NOSCROLL);
    setItemCount(recordList_, stream_.recordCount(), LVSICF_NOSCROLL);
    if (stream_.recordCount() > 0) {
        ::SendMessageW(recordList_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(stream_.recordCount() - 1), FALSE);
    }
}

void TrafficWindow::layout(const Rect& client) {
    const PaneRects panes = layoutPanes(splitters_, client);
    const auto move = [](HWND list, const Rect& pane) {
        if (list != nullptr) {
            ::MoveWindow(list, pane.left, pane.top, std::max(0, pane.right - pane.left),
                         std::max(0, pane.bottom - pane.top), TRUE);
        }
    };
    move(markList_, panes.markList);
    move(recordList_, panes.recordList);
    move(byteList_, panes.byteList);
}

LRESULT TrafficWindow::onNotify(const NMHDR& header) {
    const HWND list = header.hwndFrom;
    if (list != markList_ && list != recordList_ && list != byteList_) {
        return 0;
    }
    if (header.code == NM_CUSTOMDRAW) {
        const auto& draw = reinterpret_cast<const NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
            paintList(list, draw.nmcd.hdc);
            return CDRF_SKIPDEFAULT;
        }
        return CDRF_DODEFAULT;
    }
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool selectionChanged =
            (change.uChanged & LVIF_STATE) != 0 && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) != 0;
        if (selectionChanged && list == markList_) {
            onMarkSelected(selectedMark());
        } else if (selectionChanged && list == recordList_) {
            onRecordSelected(selectedItem(recordList_));
        }
    }
    return 0;
}

void TrafficWindow::paintList(HWND list, HDC target) {
    RECT client{};
    ::GetClientRect(list, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const UniqueBitmap bitmap(::CreateCompatibleBitmap(target, width, height));
    const UniqueMemoryDc dc(::CreateCompatibleDC(target));
    if (!bitmap || !dc) {
        return;
    }
    const PaintState state = paintStateFor(list);
    const Selection bitmapSelection(dc.get(), bitmap.get());
    const Selection fontSelection(dc.get(), ::GetCurrentObject(target, OBJ_FONT));
    ::SetBkMode(dc.get(), TRANSPARENT);
    fillSolid(dc.get(), client, static_cast<COLORREF>(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0)));

    const int top = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int count = itemCount(list);
    const HWND headerControl = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(headerControl, HDM_GETITEMCOUNT, 0, 0));
    for (int item = std::max(top, 0); item < count; ++item) {
        bool visible = false;
        for (int column = 0; column < columns; ++column) {
            RECT cell{};
            cell.top = column;
            cell.left = LVIR_BOUNDS;
            if (!::SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell))) {
                continue;
            }
            if (column == 0) {
                // Sub-item 0 spans the whole row; the first column ends where the second starts.
                RECT next{};
                next.top = 1;
                next.left = LVIR_BOUNDS;
                if (columns > 1 && ::SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item),
                                                  reinterpret_cast<LPARAM>(&next))) {
                    cell.right = next.left;
                }
            }
            RECT overlap{};
            if (::IntersectRect(&overlap, &cell, &client)) {
                visible = true;
                drawCell(list, dc.get(), item, column, cell, state);
            }
        }
        if (!visible && item > top) {
            break;  // rows below the client area
        }
    }
    ::BitBlt(target, 0, 0, width, height, dc.get(), 0, 0, SRCCOPY);
}

TrafficWindow::PaintState TrafficWindow::paintStateFor(HWND list) {
    const UiTexts& texts = uiTexts(orvalix::platform::userLanguage());
    PaintState state;
    if (list == markList_) {
        state.alignments = alignmentsOf(markListColumns(texts));
    } else if (list == recordList_) {
        state.alignments = alignmentsOf(recordListColumns(texts));
        const int mark = selectedMark();
        state.markedRecord = mark >= 0 ? stream_.markPosition(mark) : -1;
    } else {
        state.alignments = alignmentsOf(byteListColumns(texts));
        const int selected = selectedItem(recordList_);
        if (selected >= 0) {
            state.record.resize(static_cast<std::size_t>(std::max(stream_.environment().port.maxRecordLength, 0)));
            std::uint64_t time = 0;
            std::uint32_t attribute = 0;
            const std::int32_t length = stream_.get(selected, state.record, time, attribute);
            state.record.resize(static_cast<std::size_t>(std::clamp<std::int32_t>(
                length, 0, static_cast<std::int32_t>(state.record.size()))));
        }
    }
    return state;
}

void TrafficWindow::drawCell(HWND list, HDC dc, int item, int column, const RECT& cell, const PaintState& state) {
    const ColumnAlignment alignment =
        column < static_cast<int>(state.alignments.size()) ? state.alignments[static_cast<std::size_t>(column)]
                                                           : ColumnAlignment::Left;
    if (list == recordList_) {
        drawRecordCell(dc, item, column, cell, state);
        return;
    }
    drawSelectableCell(list, dc, item, cell);
    if (list == markList_) {
        drawText(dc, cell, markCellText(column, stream_, item), alignment);
    } else {
        drawText(dc, cell, byteCellText(state.record, item, column), alignment);
    }
}

void TrafficWindow::drawRecordCell(HDC dc, int item, int column, const RECT& cell, const PaintState& state) {
    std::uint64_t time = 0;
    std::uint32_t attribute = 0;
    const std::int32_t length = stream_.get(item, {}, time, attribute);
    switch (recordShade(length, attribute)) {
    case RecordShade::Received:
        fillSolid(dc, cell, toColorRef(kReceivedColour));
        break;
    case RecordShade::Error:
        fillSolid(dc, cell, toColorRef(kErrorColour));
        break;
    case RecordShade::Fault:
        fillSolid(dc, cell, toColorRef(kFaultColour));
        break;
    case RecordShade::Window:
        fillSolid(dc, cell, ::GetSysColor(COLOR_WINDOW));
        break;
    }
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    if (isSelected(recordList_, item)) {
        ::DrawFocusRect(dc, &cell);
    }
    if (item == state.markedRecord) {
        ::FrameRect(dc, &cell, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    const ColumnAlignment alignment =
        column < static_cast<int>(state.alignments.size()) ? state.alignments[static_cast<std::size_t>(column)]
                                                           : ColumnAlignment::Left;
    drawText(dc, cell, recordCellText(column, length, time, attribute), alignment);
}

int TrafficWindow::selectedMark() const { return selectedItem(markList_); }

bool TrafficWindow::listsAlive() const {
    return ::IsWindow(handle()) && ::IsWindow(markList_) && ::IsWindow(recordList_) && ::IsWindow(byteList_);
}

void TrafficWindow::onMarkSelected(int item) {
    // Deselecting takes the frame away; selecting also brings the marked record into view.
    const int position = item >= 0 ? stream_.markPosition(item) : -1;
    if (position >= 0 && position < itemCount(recordList_)) {
        ::SendMessageW(recordList_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
    }
    ::InvalidateRect(recordList_, nullptr, FALSE);
}

void TrafficWindow::onRecordSelected(int item) {
    std::int32_t length = 0;
    if (item >= 0) {
        std::uint64_t time = 0;
        std::uint32_t attribute = 0;
        length = stream_.get(item, {}, time, attribute);
    }
    setItemCount(byteList_, byteListRows(length), LVSICF_NOSCROLL);
    ::InvalidateRect(byteList_, nullptr, FALSE);
}

void TrafficWindow::refresh(std::int32_t addedMarks, std::int32_t appendedRecords) {
    if (!listsAlive()) {
        return;
    }
    const auto refreshOne = [](HWND list, std::int32_t newCount, std::int32_t added) {
        const std::int32_t oldCount = itemCount(list);
        const int selected = selectedItem(list);
        setItemCount(list, newCount, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        const ListRefresh result = refreshList(oldCount, newCount, added, selected);
        if (result.selection) {
            selectItem(list, *result.selection);
        }
        // Beyond the rows the rule names, repaint whenever the list moved: scrolling blits the
        // old pixels, and a row repainted only in part would show stale text. Painting is
        // double-buffered, so a whole repaint does not flicker.
        if (result.invalidate || added > 0 || newCount != oldCount) {
            ::InvalidateRect(list, nullptr, FALSE);
        }
        return oldCount;
    };
    refreshOne(markList_, stream_.markCount(), addedMarks);
    const std::int32_t newRecords = stream_.recordCount();
    const std::int32_t oldRecords = refreshOne(recordList_, newRecords, appendedRecords);
    if (followNewestRecord(selectedMark() >= 0, appendedRecords) && newRecords > 0) {
        ::SendMessageW(recordList_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(newRecords - 1), FALSE);
        // The scroll blitted the old rows; the next paint redraws all of them.
        ::InvalidateRect(recordList_, nullptr, FALSE);
    }
    if (newRecords < oldRecords) {
        ::InvalidateRect(byteList_, nullptr, FALSE);
    }
}

void TrafficWindow::onButtonDown(int x, int y) {
    dragging_ = splitterAt(splitters_, x, y);
    if (dragging_ == SplitterBar::None) {
        return;
    }
    const Rect& bar = dragging_ == SplitterBar::First ? splitters_.first : splitters_.second;
    dragOffsetX_ = bar.left - x;
    dragOffsetY_ = bar.top - y;
    ::SetCapture(handle());
}

void TrafficWindow::onMouseMove(int x, int y) {
    if (dragging_ != SplitterBar::None) {
        POINT cursor{};
        RECT client{};
        if (::GetCursorPos(&cursor) && ::ScreenToClient(handle(), &cursor) && ::GetClientRect(handle(), &client)) {
            const Rect area{client.left, client.top, client.right, client.bottom};
            dragSplitter(splitters_, dragging_, dragOffsetX_ + cursor.x, area);
            layout(area);
            ::InvalidateRect(handle(), &client, FALSE);
        }
    }
    const bool overBar = splitterAt(splitters_, x, y) != SplitterBar::None;
    ::SetCursor(::LoadCursorW(nullptr, overBar ? IDC_SIZEWE : IDC_ARROW));
}

}  // namespace Orvalix
