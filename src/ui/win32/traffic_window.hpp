#pragma once

#include <cstdint>

#include "core/traffic/traffic_stream.hpp"
#include "ui/view/splitter_layout.hpp"
#include "ui/win32/window.hpp"

namespace Orvalix {

// One environment's traffic as an MDI child: the mark list, the record list and the byte list
// side by side between two draggable bars. The lists are owner-data and painted here, from the
// stream, at every paint: they hold nothing but their counts.
class TrafficWindow final : public orvalix::ui::win32::Window {
public:
    // The stream is owned by the session and outlives the window.
    explicit TrafficWindow(orvalix::TrafficStream& stream);
    ~TrafficWindow() override;

    void create(HINSTANCE instance, HWND mdiClient);
    // Called by the pump after records or marks were added to the stream.
    void refresh(std::int32_t addedMarks, std::int32_t appendedRecords);

protected:
    HWND createHandle(HINSTANCE instance, const wchar_t* className, HWND parent, int controlId) override;

private:
    enum ListId : int { kMarkList = 1, kRecordList = 2, kByteList = 3 };

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void buildLists();
    void layout(const orvalix::ui::Rect& client);
    LRESULT onNotify(const NMHDR& header);
    struct PaintState;
    void paintList(HWND list, HDC target);
    PaintState paintStateFor(HWND list);
    void drawCell(HWND list, HDC dc, int item, int column, const RECT& cell, const PaintState& state);
    void drawRecordCell(HDC dc, int item, int column, const RECT& cell, const PaintState& state);
    void onMarkSelected(int item);
    void onRecordSelected(int item);
    void onButtonDown(int x, int y);
    void onMouseMove(int x, int y);
    int selectedMark() const;
    bool listsAlive() const;

    orvalix::TrafficStream& stream_;
    HWND markList_ = nullptr;
    HWND recordList_ = nullptr;
    HWND byteList_ = nullptr;
    orvalix::ui::Splitters splitters_;
    orvalix::ui::SplitterBar dragging_ = orvalix::ui::SplitterBar::None;
    int dragOffsetX_ = 0;
    int dragOffsetY_ = 0;
};

}  // namespace Orvalix
