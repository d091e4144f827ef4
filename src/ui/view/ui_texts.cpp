#include "ui/view/ui_texts.hpp"

namespace orvalix::ui {

namespace {

constexpr UiTexts kJapanese{
    .timeColumn = u"日時",
    .lengthColumn = u"長さ",
    .nameColumn = u"名称",
    .attributeColumn = u"Attribute",
    .offsetColumn = u"Ofs",
    .exitPrompt = u"通信中です。終了しますか？",
    .onArrivalItem = u"受信したらすぐ応答(&R)",
    .captureItem = u"pcapng にキャプチャ(&C)...",
    .stopCaptureItem = u"キャプチャを停止(&C)",
    .captureFailed = u"キャプチャを書き込めません: ",
};

constexpr UiTexts kEnglish{
    .timeColumn = u"Time",
    .lengthColumn = u"Length",
    .nameColumn = u"Name",
    .attributeColumn = u"Attribute",
    .offsetColumn = u"Ofs",
    .exitPrompt = u"Communication is in progress. Sure to Exit?",
    .onArrivalItem = u"Answe&r on arrival",
    .captureItem = u"&Capture to pcapng...",
    .stopCaptureItem = u"Stop &capture",
    .captureFailed = u"Can't write the capture ",
};

}  // namespace

const UiTexts& uiTexts(bool japanese) { return japanese ? kJapanese : kEnglish; }

}  // namespace orvalix::ui
