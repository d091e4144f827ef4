#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/sockets_startup.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/port.hpp"
#include "core/ports/udp_socket.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

struct MessageCase {
    std::u16string portName;
    bool japanese;
    std::string message;
};

const MessageCase kMessages[] = {
    {u"COM3", false, "Can't open COM3"},
    {u"COM3", true, "COM3 を開けません。"},
    {u"FBIHDLC0", false, "Can't open FBIHDLC0"},
    {u"ポート:5000", false, "Can't open ポート:5000"},
    {u"", false, "Can't open "},
    {u"", true, " を開けません。"},
};

TEST(CantOpenMessage, EnglishPrefixesJapaneseSuffixesInUtf8) {
    for (const auto& c : kMessages) {
        EXPECT_EQ(cantOpenMessage(c.portName, c.japanese), c.message);
    }
}

Environment environmentOn(PortSettings settings) {
    Environment environment;
    environment.port = std::move(settings);
    return environment;
}

class OpenAllPortsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sockets_.started()); }

    platform::SocketsStartup sockets_;
    PortContext context_;
    std::vector<OpenedPort> opened_;
};

TEST_F(OpenAllPortsTest, OpensUsablePortsInNameOrderAndSkipsTheRest) {
    EnvironmentMap environments;
    environments[u"B"] = environmentOn(test::udpSettings(test::freeUdpPort()));
    environments[u"A"] = environmentOn(test::udpSettings(test::freeUdpPort()));
    environments[u"C"] = environmentOn(test::settingsOf({u""}));           // no endpoint
    environments[u"D"] = environmentOn(test::settingsOf({u"localhost"}));  // did not parse

    openAllPorts(environments, context_, opened_);

    ASSERT_EQ(opened_.size(), 2U);
    EXPECT_EQ(opened_[0].environmentName, u"A");
    EXPECT_EQ(opened_[1].environmentName, u"B");
    EXPECT_EQ(opened_[0].port.kind(), PortKind::Udp);
}

TEST_F(OpenAllPortsTest, PortInUseStopsTheOpeningWithTheCantOpenText) {
    const auto holder = UdpSocket::bind(test::kLoopback, 0);
    ASSERT_TRUE(holder);
    const std::uint16_t busyPort = holder->localPort();
    const std::uint16_t laterPort = test::freeUdpPort();

    EnvironmentMap environments;
    environments[u"1 first"] = environmentOn(test::udpSettings(test::freeUdpPort()));
    environments[u"2 busy"] = environmentOn(test::udpSettings(busyPort));
    environments[u"3 later"] = environmentOn(test::udpSettings(laterPort));

    for (const bool japanese : {false, true}) {
        SCOPED_TRACE(japanese);
        context_.japanese = japanese;
        opened_.clear();
        try {
            openAllPorts(environments, context_, opened_);
            ADD_FAILURE() << "a port in use opened";
        } catch (const PortOpenError& error) {
            const std::string endpoint = "127.0.0.1:" + std::to_string(busyPort);
            EXPECT_EQ(error.what(), japanese ? endpoint + " を開けません。" : "Can't open " + endpoint);
        }
        // The port before stays open for the service to close; the one after was not tried.
        ASSERT_EQ(opened_.size(), 1U);
        EXPECT_EQ(opened_[0].environmentName, u"1 first");
        EXPECT_TRUE(UdpSocket::bind(test::kLoopback, laterPort).has_value());
    }
}

TEST_F(OpenAllPortsTest, OpenedPortsAreAppendedAfterEarlierEntries) {
    EnvironmentMap first;
    first[u"X"] = environmentOn(test::udpSettings(test::freeUdpPort()));
    EnvironmentMap second;
    second[u"A"] = environmentOn(test::udpSettings(test::freeUdpPort()));
    openAllPorts(first, context_, opened_);
    openAllPorts(second, context_, opened_);
    ASSERT_EQ(opened_.size(), 2U);
    EXPECT_EQ(opened_[0].environmentName, u"X");
    EXPECT_EQ(opened_[1].environmentName, u"A");
}

TEST_F(OpenAllPortsTest, BoardWithoutItsLibraryCannotBeOpened) {
    const auto missing = std::filesystem::temp_directory_path() / "orvalix-no-such-folder" / "FbiHdlc";
    context_.hdlcLibrary = std::make_shared<HdlcLibrary>(std::vector{missing});
    EnvironmentMap environments;
    environments[u"Board"] = environmentOn(test::settingsOf({u"FBIHDLC0"}));
    try {
        openAllPorts(environments, context_, opened_);
        ADD_FAILURE() << "a board opened without its library";
    } catch (const PortOpenError& error) {
        EXPECT_STREQ(error.what(), "Can't open FBIHDLC0");
    }
    EXPECT_TRUE(opened_.empty());
}

TEST(OpenPort, KindNoneGivesNothing) {
    PortContext context;
    EXPECT_FALSE(openPort(test::settingsOf({u"nothing here"}), context));
    EXPECT_FALSE(openPort(PortSettings{}, context));
    EXPECT_FALSE(context.hdlcLibrary) << "no board library is loaded for other kinds";
}

TEST(OpenPort, BoardUsesTheProcessLibraryAndMakesItOnFirstUse) {
    PortContext context;
    {
        auto board = openPort(test::settingsOf({u"FBIHDLC40"}), context);
        ASSERT_TRUE(board);
        EXPECT_EQ(board->kind(), PortKind::HdlcBoard);
    }
    ASSERT_TRUE(context.hdlcLibrary);
    const auto library = context.hdlcLibrary;
    auto again = openPort(test::settingsOf({u"FBIHDLC40"}), context);
    EXPECT_TRUE(again) << "the first port closed its board when it went";
    EXPECT_EQ(context.hdlcLibrary, library);
}

}  // namespace
}  // namespace orvalix
