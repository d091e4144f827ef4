#include "core/ports/hdlc_settings.hpp"


namespace orvalix {

std::uint32_t hdlcClockCode(std::int32_t bitRate) {
    if (bitRate <= 0) {
        return 5;
    }
    const std::int32_t fromFirstClock = 32000000 % bitRate;
    const std::int32_t fromSecondClock = 36864000 % bitRate;
    return fromFirstClock < fromSecondClock ? 3U : 5U;
}

HdlcSettingsWords makeHdlcSettings(const HdlcOptions& board) {
    HdlcSettingsWords words{};
    const std::int32_t bitRate = board.bitRate;
    words[0] = board.encoding == HdlcEncoding::Nrz ? 1U : 0U;
    words[1] = board.frameCheck == HdlcFrameCheck::Crc32 ? 1U : 0U;
    words[16] = (board.duplex == HdlcDuplex::Half ? 1U : 0U) | (board.idle == HdlcIdle::Mark ? 0x10000U : 0U);
    words[17] = bitRate != 0 ? 1U : 2U;
    words[18] = bitRate != 0 ? 2U : 1U;
    words[19] = hdlcClockCode(bitRate);
    words[20] = static_cast<std::uint32_t>(bitRate);
    words[21] = board.lineInterface == HdlcInterface::Rs485 ? 1U : 0U;
    words[23] = static_cast<std::uint32_t>(board.boardParameter);
    return words;
}

}  // namespace orvalix
