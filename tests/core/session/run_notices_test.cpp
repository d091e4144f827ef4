// The connection notices, which the desktop application shows in the user's language.

#include "core/session/run_notices.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace orvalix {
namespace {

TEST(RunNotices, ConnectionNoticesNameTheEnvironmentAndThePeerInEitherLanguage) {
    const std::pair<std::string, std::string> cases[] = {
        {connectionOpenedNotice(u"S1", "127.0.0.1:50344", Language::English), "S1 connected 127.0.0.1:50344"},
        {connectionOpenedNotice(u"S1", "127.0.0.1:50344", Language::Japanese),
         "S1 127.0.0.1:50344 と接続しました"},
        {connectionOpenedNotice(u"S1", "", Language::Japanese), "S1 接続しました"},
        {connectionClosedNotice(u"S1", "127.0.0.1:50344", Language::English),
         "S1 disconnected 127.0.0.1:50344"},
        {connectionClosedNotice(u"S1", "127.0.0.1:50344", Language::Japanese),
         "S1 127.0.0.1:50344 との接続が切れました"},
        {connectionClosedNotice(u"S1", "", Language::English), "S1 disconnected"},
        {connectFailedNotice(u"S1", u"tcp-client://plc:502", "Connection refused", Language::Japanese),
         "S1 tcp-client://plc:502 で接続できません: Connection refused"},
        {sendsDroppedNotice(u"S1", 3, 5, Language::Japanese),
         "S1 接続がないため、フレームを 3 個送信しませんでした (計 5 個)"},
        {recordsLostNotice(u"S1", 1, 1, Language::English),
         "S1 1 record was lost before the pump took them (1 in all)"},
        {recordsLostNotice(u"S1", 3, 5, Language::English),
         "S1 3 records were lost before the pump took them (5 in all)"},
        {recordsLostNotice(u"S1", 3, 5, Language::Japanese),
         "S1 取り込む前に上書きされたレコードが 3 個あります (計 5 個)"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace orvalix
