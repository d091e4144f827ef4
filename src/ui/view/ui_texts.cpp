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
};

constexpr UiTexts kEnglish{
    .timeColumn = u"Time",
    .lengthColumn = u"Length",
    .nameColumn = u"Name",
    .attributeColumn = u"Attribute",
    .offsetColumn = u"Ofs",
    .exitPrompt = u"Communication is in progress. Sure to Exit?",
};

}  // namespace

const UiTexts& uiTexts(bool japanese) { return japanese ? kJapanese : kEnglish; }

}  // namespace orvalix::ui
