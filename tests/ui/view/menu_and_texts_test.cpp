#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ui/view/command_line_folder.hpp"
#include "ui/view/menu_state.hpp"
#include "ui/view/status_texts.hpp"
#include "ui/view/traffic_columns.hpp"
#include "ui/view/window_texts.hpp"

namespace orvalix::ui {
namespace {

using Titles = std::vector<std::u16string>;

Titles titlesOf(const std::vector<ColumnSpec>& columns) {
    Titles titles;
    for (const ColumnSpec& column : columns) titles.push_back(column.title);
    return titles;
}

TEST(UiTexts, ColumnTitlesFollowTheUserLanguage) {
    const UiTexts& japanese = uiTexts(Language::Japanese);
    EXPECT_EQ(titlesOf(markListColumns(japanese)), (Titles{u"日時", u"名称"}));
    EXPECT_EQ(titlesOf(recordListColumns(japanese)), (Titles{u"日時", u"長さ", u"Attribute"}));
    const UiTexts& english = uiTexts(Language::English);
    EXPECT_EQ(titlesOf(markListColumns(english)), (Titles{u"Time", u"Name"}));
    EXPECT_EQ(titlesOf(recordListColumns(english)), (Titles{u"Time", u"Length", u"Attribute"}));
    EXPECT_EQ(titlesOf(byteListColumns(english)),
              (Titles{u"Ofs", u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7"}));
}

TEST(StatusTexts, PortEventsNameTheEnvironmentAndFollowTheUserLanguage) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {captureStoppedStatus(Language::English, u"C:\\run.pcapng", u"No space left on device"),
         u"capture stopped: C:\\run.pcapng: No space left on device"},
        {captureStoppedStatus(Language::Japanese, u"C:\\run.pcapng", u"ディスクがいっぱいです"),
         u"キャプチャを停止しました: C:\\run.pcapng: ディスクがいっぱいです"},
        {portLostStatus(Language::English, u"S1", u"COM3", u"Input/output error"),
         u"S1: port COM3 lost: Input/output error"},
        {portLostStatus(Language::Japanese, u"S1", u"COM3", u"デバイスが削除されました"),
         u"S1: ポート COM3 が失われました: デバイスが削除されました"},
        {datagramsDroppedStatus(Language::English, u"F1", 5120, 8192),
         u"F1: the system dropped 5120 datagrams (8192 in all): the receive buffer was full"},
        {datagramsDroppedStatus(Language::English, u"F1", 1, 1),
         u"F1: the system dropped 1 datagram (1 in all): the receive buffer was full"},
        {datagramsDroppedStatus(Language::Japanese, u"F1", 5120, 8192),
         u"F1: 受信バッファが一杯のため、システムがデータグラムを 5120 個破棄しました (計 8192 個)"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
}

TEST(TrafficColumns, WidthIsTheMeasuredOrFallbackWidthPlusPaddingExceptForTheFixedNameColumn) {
    const UiTexts& texts = uiTexts(Language::English);
    const auto mark = markListColumns(texts);
    const auto record = recordListColumns(texts);
    const auto bytes = byteListColumns(texts);
    const std::tuple<ColumnSpec, std::optional<int>, int> cases[] = {
        {mark[0], 100, 106}, {mark[0], std::nullopt, 126}, {mark[1], 100, 166}, {record[1], std::nullopt, 56},
        {record[2], std::nullopt, 76}, {bytes[0], std::nullopt, 63}, {bytes[8], std::nullopt, 37}};
    for (const auto& [column, measured, width] : cases) {
        EXPECT_EQ(columnWidth(column, measured), width) << column.probe.size();
    }
}

TEST(WindowTexts, TitleAboutLineAndVersionKey) {
    EXPECT_EQ(mainWindowTitle(u"Orvalix", u"D:\\work\\line1", true), u"Orvalix - [ D:\\work\\line1 ]");
    EXPECT_EQ(mainWindowTitle(u"Orvalix", u"D:\\gone", false), u"Orvalix");
    EXPECT_EQ(aboutVersionLine(u"Orvalix", 0x00010001), u"Orvalix - Version 1.1");
    EXPECT_EQ(aboutVersionLine(u"X", 0xFFFF0014), u"X - Version 65535.20");
    EXPECT_EQ(aboutVersionLine(u"", 0), u" - Version 0.0");
    EXPECT_EQ(versionStringKey(0x0411, 1200, u"ProductName"), u"\\StringFileInfo\\041104b0\\ProductName");
}

TEST(MenuState, PopupsMoveRightBehindAMaximizedChildsSystemMenu) {
    const std::tuple<int, bool, MenuPopup> cases[] = {
        {0, false, MenuPopup::File}, {1, false, MenuPopup::Run}, {2, false, MenuPopup::View},
        {4, false, MenuPopup::None}, {0, true, MenuPopup::None}, {3, true, MenuPopup::View}};
    for (const auto& [position, maximized, popup] : cases) {
        EXPECT_EQ(popupAt(position, maximized), popup) << position << ' ' << maximized;
    }
}

TEST(MenuState, UsableEnvironmentsFollowASeparatorWithConsecutiveCommands) {
    EXPECT_EQ(environmentMenuEntries({}), std::vector<MenuEntry>{});
    EXPECT_EQ(environmentMenuEntries({u"E1", u"E3"}),
              (std::vector<MenuEntry>{{true, 0, u""}, {false, 30000, u"E1"}, {false, 30001, u"E3"}}));
    const std::tuple<int, std::optional<std::size_t>> cases[] = {
        {30000, 0}, {30001, 1}, {30002, std::nullopt}, {29999, std::nullopt}, {104, std::nullopt}};
    for (const auto& [command, environment] : cases) {
        EXPECT_EQ(environmentOfCommand(command, 2), environment) << command;
    }
}

TEST(CommandLineFolder, FirstPieceThatIsOrLiesInADirectory) {
    const std::u16string longFolder = u"C:\\" + std::u16string(256, u'a');  // 259 characters
    const std::set<std::u16string, std::less<>> directories{u"C:\\data", u"C:\\my data", u"C:\\x", longFolder};
    const FolderQueries queries{
        .isDirectory = [&](std::u16string_view path) { return directories.contains(path); },
        .parent = [](std::u16string_view path) {
            const auto slash = path.rfind(u'\\');
            return std::u16string(slash == std::u16string_view::npos ? u"" : path.substr(0, slash));
        },
    };
    const std::tuple<std::u16string, std::optional<std::u16string>> cases[] = {
        {u"C:\\data", u"C:\\data"},
        {u"C:\\data\\P1.Environment.csv", u"C:\\data"},
        {u"C:\\x C:\\data", u"C:\\x"},
        {u"C:\\nowhere  C:\\data", u"C:\\data"},
        {u"\"C:\\my data\"", u"C:\\my data"},
        {u"C:\\my data", std::nullopt},
        {u"C:\\x\\a b", u"C:\\x"},
        {longFolder + u"bbb", longFolder},
        {u"", std::nullopt},
    };
    for (const auto& [commandLine, folder] : cases) {
        EXPECT_EQ(dataFolderFromCommandLine(commandLine, queries), folder) << commandLine.size();
    }
}

}  // namespace
}  // namespace orvalix::ui
