#include "core/ports/parse_port_options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/platform/device_files.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

using platform::serialDevicePath;

PortOptions parse(const std::vector<std::u16string>& values) { return parsePortOptions(test::settingRows(values)); }

// Settings 0, then 1 to 8 empty, then the values given from 9 on.
PortOptions parseFromNine(const std::u16string& name, const std::vector<std::u16string>& fromNine) {
    std::vector<std::u16string> values{name};
    values.resize(9);
    values.insert(values.end(), fromNine.begin(), fromNine.end());
    return parse(values);
}

TEST(ParsePortOptions, EachNumberIsReadFromItsOwnRow) {
    // Setting k holds 100 + k, followed by letters that a number reading stops at.
    std::vector<std::u16string> values{u"COM3"};
    for (int k = 1; k <= 16; ++k) values.push_back(toWide(std::to_string(100 + k) + "x"));
    const PortOptions serial = parse(values);
    EXPECT_EQ(std::tie(serial.name, serial.recordCapacity, serial.maxRecordLength, serial.preTriggerCount,
                       serial.postTriggerCount),
              std::tuple(u"COM3", 101, 102, 103, 104));
    const auto& line = std::get<SerialOptions>(serial.kind);
    EXPECT_EQ(std::tie(line.bitRate, line.characterTimeoutMs), std::tuple(109, 114));
    values[0] = u"FBIHDLC0";
    const PortOptions hdlc = parse(values);
    const auto& board = std::get<HdlcOptions>(hdlc.kind);
    EXPECT_EQ(std::tie(board.bitRate, board.boardParameter), std::tuple(109, 115));
    const PortOptions nothingMore{u"COM3", 0, 0, 0, 0, SerialOptions{serialDevicePath(u"COM3")}};
    EXPECT_EQ(parse({u"COM3"}), nothingMore) << "missing rows read as 0";
}

TEST(ParsePortOptions, EachKeywordIsReadFromItsOwnRow) {
    EXPECT_EQ(parseFromNine(u"COM3", {u"9600", u"Odd", u"2", u"7", u"RTS/CTS", u"50"}).kind,
              PortKindOptions(SerialOptions{serialDevicePath(u"COM3"), 9600, SerialParity::Odd, SerialStopBits::Two,
                                            SerialDataBits::Seven, SerialFlowControl::RtsCts, 50}));
    EXPECT_EQ(parseFromNine(u"FBIHDLC0", {u"9600", u"NRZ", u"ITU-T(旧CCITT)32bit", u"半二重", u"マーク", u"RS-485",
                                          u"0x20"})
                  .kind,
              PortKindOptions(HdlcOptions{9600, HdlcEncoding::Nrz, HdlcFrameCheck::Crc32, HdlcDuplex::Half,
                                          HdlcIdle::Mark, HdlcInterface::Rs485, 0x20}));
}

TEST(ParsePortOptions, ComComesFirstThenHdlcPrefixThenLocalEndpoint) {
    const std::tuple<std::u16string, PortKind> cases[] = {
        {u"COM3", PortKind::Serial},          {u"\\\\.\\COM12", PortKind::Serial},
        {u"FBIHDLC0", PortKind::HdlcBoard},   {u"FBIHDLC1COM", PortKind::Serial},
        {u"MYCOM:5000", PortKind::Serial},    {u"127.0.0.1:5000", PortKind::Udp},
        {u":5000", PortKind::Udp},            {u"com3", PortKind::None},
        {u"fbihdlc0", PortKind::None},        {u"xFBIHDLC0", PortKind::None},
        {u" FBIHDLC0", PortKind::None},       {u"", PortKind::None},
        // The TCP forms come before every other rule: a COM in them does not make a serial port.
        {u"tcp-server://127.0.0.1:502", PortKind::Tcp}, {u"tcp-client://127.0.0.1:502", PortKind::Tcp},
        {u"tcp-server://COM3", PortKind::None},         {u"TCP-server://127.0.0.1:502", PortKind::None},
    };
    for (const auto& [name, kind] : cases) {
        SCOPED_TRACE(testing::PrintToString(name));
        const PortOptions options = parseFromNine(name, {u"9600"});
        EXPECT_EQ(portKind(options), kind);
        EXPECT_EQ(isUsable(options), kind != PortKind::None);
    }
}

// Setting 9 of a UDP port is the remote endpoint; a text that does not parse leaves none.
TEST(ParsePortOptions, UdpPortsTakeBothEndpointsAndKeepTheRemoteAsWritten) {
    const UdpEndpoint local{0x7F000001, 5000};
    const std::tuple<std::u16string, std::optional<UdpEndpoint>> cases[] = {
        {u"127.0.0.1:6001", UdpEndpoint{0x7F000001, 6001}}, {u":6002", UdpEndpoint{0x7F000001, 6002}},
        {u"", std::nullopt}, {u"9600", std::nullopt}};
    for (const auto& [remote, parsed] : cases) {
        EXPECT_EQ(parseFromNine(u":5000", {remote}).kind, PortKindOptions(UdpOptions{local, parsed, remote}))
            << toNarrow(remote);
    }
}

// Setting 14 of a TCP port is its character time-out, as a serial line's; a server without a
// host listens on every interface.
TEST(ParsePortOptions, TcpPortsTakeTheirRoleEndpointAndCharacterTimeout) {
    std::vector<std::u16string> fromNine(6);
    fromNine[5] = u"20";
    const std::tuple<std::u16string, TcpOptions> cases[] = {
        {u"tcp-server://:5020", {TcpRole::Server, {0, 5020}, 20}},
        {u"tcp-server://0.0.0.0:5020", {TcpRole::Server, {0, 5020}, 20}},
        {u"tcp-server://127.0.0.1:5020", {TcpRole::Server, {0x7F000001, 5020}, 20}},
        {u"tcp-client://127.0.0.1:502", {TcpRole::Client, {0x7F000001, 502}, 20}},
    };
    for (const auto& [name, tcp] : cases) {
        EXPECT_EQ(parseFromNine(name, fromNine).kind, PortKindOptions(tcp)) << toNarrow(name);
    }
}

}  // namespace
}  // namespace orvalix
