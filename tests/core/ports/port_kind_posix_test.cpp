// Names that no other rule claims, on a system whose devices are files: a device path or the
// name of a character device that is there makes a serial port.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../project/temp_folder.hpp"
#include "core/ports/parse_port_options.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char* rule;
    std::u16string name;
    PortKind kind;
    std::u16string device = {};  // the serial port's
};

TEST(PortKindOnPosix, ADevicePathOrTheNameOfACharacterDeviceThatIsThereIsASerialPort) {
    const test::TempFolder folder;
    const std::u16string fake = folder.write(u"ttyFAKE0", "no device").u16string();
    const std::u16string link = folder.file(u"COM-less").u16string();
    fs::create_symlink("/dev/null", link);
    const std::u16string absent = u"ttyORVALIX97";
    ASSERT_FALSE(fs::exists(u"/dev/" + absent));
    const Case cases[] = {
        {"a path below /dev that is a character device", u"/dev/null", PortKind::Serial, u"/dev/null"},
        {"a bare name of a character device in /dev", u"null", PortKind::Serial, u"/dev/null"},
        {"a path below /dev is one even when nothing is there now", u"/dev/" + absent, PortKind::Serial,
         u"/dev/" + absent},
        {"a bare name whose device is not there is none", absent, PortKind::None},
        {"a file that is no device is none", fake, PortKind::None},
        {"a folder is none", folder.wide(), PortKind::None},
        {"/dev itself is a folder", u"", PortKind::None},
        {"a link to a character device, as socat makes them", link, PortKind::Serial, link},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const PortOptions options = test::settingsOf({c.name});
        EXPECT_EQ(portKind(options), c.kind);
        if (const auto* serial = std::get_if<SerialOptions>(&options.kind)) {
            EXPECT_EQ(serial->device, c.device);
        }
    }
}

// Its terminal lives while the pty's other end is open.
TEST(PortKindOnPosix, TheTerminalOfAPtyIsASerialPortByItsPathAndThroughALink) {
    struct Pty {
        int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        ~Pty() {
            if (fd >= 0) ::close(fd);
        }
    } pty;
    const bool ready = pty.fd >= 0 && ::grantpt(pty.fd) == 0 && ::unlockpt(pty.fd) == 0;
    const char* terminal = ready ? ::ptsname(pty.fd) : nullptr;
    if (terminal == nullptr) {
        GTEST_SKIP() << "no pseudo-terminal to be had here";
    }
    const test::TempFolder folder;
    const std::u16string link = folder.file(u"line").u16string();
    fs::create_symlink(terminal, link);
    for (const std::u16string& name : {toWide(terminal), link}) {
        EXPECT_EQ(portKind(test::settingsOf({name})), PortKind::Serial) << toNarrow(name);
    }
}

}  // namespace
}  // namespace orvalix
