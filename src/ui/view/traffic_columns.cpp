#include "ui/view/traffic_columns.hpp"

namespace orvalix::ui {

namespace {

// The widest texts each column shows, measured in the list's own font.
constexpr std::u16string_view kTimeProbe = u"7777/77/77 77:77:77.777";
constexpr std::u16string_view kLengthProbe = u"7777";
constexpr std::u16string_view kAttributeProbe = u"FFFFFFFF";
constexpr std::u16string_view kOffsetProbe = u"7777";
constexpr std::u16string_view kByteProbe = u"FFF";

constexpr int kNameWidth = 166;

ColumnSpec timeColumn(const UiTexts& texts) {
    return {std::u16string(texts.timeColumn), kTimeProbe, 120, ColumnAlignment::Left};
}

}  // namespace

std::vector<ColumnSpec> markListColumns(const UiTexts& texts) {
    return {timeColumn(texts), {std::u16string(texts.nameColumn), {}, kNameWidth, ColumnAlignment::Left}};
}

std::vector<ColumnSpec> recordListColumns(const UiTexts& texts) {
    return {timeColumn(texts),
            {std::u16string(texts.lengthColumn), kLengthProbe, 50, ColumnAlignment::Right},
            {std::u16string(texts.attributeColumn), kAttributeProbe, 70, ColumnAlignment::Centre}};
}

std::vector<ColumnSpec> byteListColumns(const UiTexts& texts) {
    std::vector<ColumnSpec> columns{{std::u16string(texts.offsetColumn), kOffsetProbe, 57, ColumnAlignment::Left}};
    // One column per byte of a row, titled with the byte's place in it.
    for (char16_t place = u'0'; place < u'8'; ++place) {
        columns.push_back({std::u16string(1, place), kByteProbe, 31, ColumnAlignment::Centre});
    }
    return columns;
}

int columnWidth(const ColumnSpec& column, std::optional<int> measured) {
    if (column.probe.empty()) {
        return column.width;
    }
    return measured.value_or(column.width) + kColumnPadding;
}

}  // namespace orvalix::ui
