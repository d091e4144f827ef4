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
    .faultSeedItem = u"障害の乱数シード(&D)...",
    .faultSeedTitle = u"障害の乱数シード",
    .faultSeedPrompt = u"障害ファイルの確率を引く乱数のシード (0 ～ 18446744073709551615)。同じシードなら同じ障害になります。次の開始から使われます。",
    .faultSeedInvalid = u"0 ～ 18446744073709551615 の整数を入力してください。",
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
    .faultSeedItem = u"Fault see&d...",
    .faultSeedTitle = u"Fault seed",
    .faultSeedPrompt = u"Seeds the draws of the fault files' probabilities (0 to 18446744073709551615): the same seed, the same faults. Used from the next Start on.",
    .faultSeedInvalid = u"Enter a whole number from 0 to 18446744073709551615.",
    .captureItem = u"&Capture to pcapng...",
    .stopCaptureItem = u"Stop &capture",
    .captureFailed = u"Can't write the capture ",
};

}  // namespace

const UiTexts& uiTexts(Language language) { return language == Language::Japanese ? kJapanese : kEnglish; }

}  // namespace orvalix::ui
