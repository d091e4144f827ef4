// Windows opens devices by their names: only "COM" makes a serial port there, as it always did.

#include <gtest/gtest.h>

#include <string>

#include "core/ports/parse_port_options.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

TEST(PortKindOnWindows, OnlyComMakesASerialPortAndItOpensUnderTheDeviceNamespace) {
    for (const std::u16string name : {u"/dev/ttyUSB0", u"/dev/null", u"NUL", u"ttyS0", u"\\\\.\\NUL"}) {
        EXPECT_EQ(portKind(test::settingsOf({name})), PortKind::None) << toNarrow(name);
    }
    const PortOptions com12 = test::settingsOf({u"COM12"});
    ASSERT_EQ(portKind(com12), PortKind::Serial);
    EXPECT_EQ(std::get<SerialOptions>(com12.kind).device, u"\\\\.\\COM12");
}

}  // namespace
}  // namespace orvalix
