#include "core/ports/hdlc_settings.hpp"

#include "core/ports/setting_keywords.hpp"
#include "core/project/port_settings_access.hpp"

namespace orvalix {

std::uint32_t hdlcClockCode(std::int32_t bitRate) {
    if (bitRate <= 0) {
        return 5;
    }
    const std::int32_t fromFirstClock = 32000000 % bitRate;
    const std::int32_t fromSecondClock = 36864000 % bitRate;
    return fromFirstClock < fromSecondClock ? 3U : 5U;
}

HdlcSettingsWords makeHdlcSettings(const PortSettings& settings) {
    HdlcSettingsWords words{};
    const std::int32_t bitRate = baudRate(settings);
    words[0] = hdlcEncodingSetting(settings) == HdlcEncoding::Nrz ? 1U : 0U;
    words[1] = hdlcFrameCheckSetting(settings) == HdlcFrameCheck::Crc32 ? 1U : 0U;
    words[16] = (hdlcDuplexSetting(settings) == HdlcDuplex::Half ? 1U : 0U) |
                (hdlcIdleSetting(settings) == HdlcIdle::Mark ? 0x10000U : 0U);
    words[17] = bitRate != 0 ? 1U : 2U;
    words[18] = bitRate != 0 ? 2U : 1U;
    words[19] = hdlcClockCode(bitRate);
    words[20] = static_cast<std::uint32_t>(bitRate);
    words[21] = hdlcInterfaceSetting(settings) == HdlcInterface::Rs485 ? 1U : 0U;
    words[23] = static_cast<std::uint32_t>(hdlcParameter(settings));
    return words;
}

}  // namespace orvalix
