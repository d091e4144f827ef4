#include "core/ports/port_setting_table.hpp"

#include <algorithm>
#include <cstddef>

namespace orvalix {
namespace {

constexpr std::size_t kValueColumn = 2;

constexpr std::array kCommonNumbers{kRecordCapacitySetting, kMaxRecordLengthSetting, kPreTriggerSetting,
                                    kPostTriggerSetting};
constexpr std::array kSerialNumbers{kSerialBitRateSetting, kCharacterTimeoutSetting};
constexpr std::array kSerialKeywords{kParitySetting, kStopBitsSetting, kDataBitsSetting, kFlowControlSetting};
constexpr std::array kHdlcNumbers{kHdlcBitRateSetting, kBoardParameterSetting};
constexpr std::array kHdlcKeywords{kEncodingSetting, kFrameCheckSetting, kDuplexSetting, kIdleSetting,
                                   kInterfaceSetting};

const KeywordChoice* findChoice(const KeywordSetting& keywordSetting, std::u16string_view text) {
    const auto found = std::find_if(keywordSetting.choices.begin(), keywordSetting.choices.end(),
                                    [text](const KeywordChoice& choice) { return choice.text == text; });
    return found == keywordSetting.choices.end() ? nullptr : &*found;
}

}  // namespace

std::u16string_view settingText(const CsvTable& rows, int k) {
    if (k < 0) {
        return {};
    }
    const auto row = static_cast<std::size_t>(k) + 1;
    if (row >= rows.size() || kValueColumn >= rows[row].size()) {
        return {};
    }
    return rows[row][kValueColumn];
}

int keywordCode(const KeywordSetting& keywordSetting, std::u16string_view text) {
    const KeywordChoice* choice = findChoice(keywordSetting, text);
    return choice != nullptr ? choice->code : keywordSetting.defaultCode;
}

bool isKeyword(const KeywordSetting& keywordSetting, std::u16string_view text) {
    return findChoice(keywordSetting, text) != nullptr;
}

std::span<const NumericSetting> commonNumericSettings() { return kCommonNumbers; }
KindSettings serialSettings() { return {kSerialNumbers, kSerialKeywords}; }
KindSettings hdlcSettings() { return {kHdlcNumbers, kHdlcKeywords}; }

}  // namespace orvalix
