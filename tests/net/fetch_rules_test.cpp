#include <gtest/gtest.h>

#include <string>

#include "net/fetch_rules.h"
#include "utf8_text.h"

namespace veskcheck {
namespace {

using vesktest::toUtf8;

TEST(ReportedPeerAddress, KeepsPlainAddressesOfAtMost64Characters) {
    const std::string longest = "0000:0000:0000:0000:0000:0000:0000:0000:" + std::string(24, '0');
    ASSERT_EQ(longest.size(), 64u);
    const struct {
        std::string text;
        bool kept;
    } cases[] = {
        {"127.0.0.1", true},
        {"::1", true},
        {"2001:DB8::aB:1", true},
        {"::ffff:192.0.2.1", true},
        {"", true},
        {longest, true},
        {longest + "0", false},
        {"fe80::1%eth0", false},  // a zone suffix
        {"fe80::1%2", false},
        {"[::1]", false},
        {"127.0.0.1 ", false},
        {"g::1", false},
        {"localhost", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(toUtf8(reportedPeerAddress(c.text)), c.kept ? c.text : "");
    }
}

}  // namespace
}  // namespace veskcheck
