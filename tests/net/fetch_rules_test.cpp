#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "net/fetch_rules.h"
#include "utf8_text.h"

namespace veskcheck {
namespace {

using vesktest::toUtf8;

// A block is taken whole while the body stays within the cap, and refused whole otherwise.
TEST(TakeBlock, KeepsTheBodyWithinTheCap) {
    constexpr std::size_t most = std::numeric_limits<std::size_t>::max();
    const struct {
        const char* what;
        std::uint32_t cap;
        std::size_t held;  // bytes already in the body
        std::size_t size;
        std::size_t nmemb;
        std::size_t taken;
        bool tooLarge;
    } cases[] = {
        {"fills the cap exactly", 10, 4, 1, 6, 6, false},
        {"one byte over the cap", 10, 4, 1, 7, 0, true},
        {"items of several bytes", 10, 0, 5, 2, 10, false},
        {"items of several bytes, over", 10, 2, 5, 2, 0, true},
        {"an empty block at the cap", 10, 10, 1, 0, 0, false},
        {"size zero", 10, 0, 0, 5, 0, false},
        {"the length overflows", 10, 0, 2, most / 2 + 1, 0, true},
        {"the largest cap", 0xFFFFFFFFu, 0, 1, 3, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BodySink sink;
        sink.maxBytes = c.cap;
        sink.body.assign(c.held, 'x');
        const std::vector<char> block(c.size * c.nmemb <= 16 ? c.size * c.nmemb : 0, 'y');
        EXPECT_EQ(takeBlock(sink, block.data(), c.size, c.nmemb), c.taken);
        EXPECT_EQ(sink.body.size(), c.held + c.taken);
        EXPECT_EQ(sink.tooLarge, c.tooLarge);
        EXPECT_FALSE(sink.writeFailed);
    }
}

TEST(ApplyBodyRules, DecidesWhatAFinishedBodyMeans) {
    using enum FailureCategory;
    const struct {
        const char* what;
        std::int32_t status;
        std::int32_t curlCode;
        FailureCategory classified;
        bool tooLarge;
        bool writeFailed;
        std::size_t bytes;
        FailureCategory category;
        bool bodyKept;
    } cases[] = {
        {"a whole body", 200, 0, Ok, false, false, 3, Ok, true},
        {"an empty body", 200, 0, Ok, false, false, 0, ManifestInvalid, false},
        {"over the cap", 200, 23, Unknown, true, false, 0, ManifestInvalid, false},
        {"libcurl's size limit", 200, 63, ManifestInvalid, false, false, 0, ManifestInvalid, false},
        {"over the cap, not a 200", 404, 63, HttpStatus, true, false, 0, HttpStatus, false},
        {"a failed append", 200, 23, Unknown, false, true, 2, Unknown, false},
        {"a failed append outweighs the cap", 200, 23, Unknown, true, true, 0, Unknown, false},
        {"a failed fetch keeps no bytes", 200, 18, TransferIncomplete, false, false, 5, TransferIncomplete, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FetchOutcome outcome;
        outcome.httpStatus = c.status;
        outcome.curlCode = c.curlCode;
        outcome.category = c.classified;
        BodySink sink;
        sink.tooLarge = c.tooLarge;
        sink.writeFailed = c.writeFailed;
        sink.body.assign(c.bytes, 'x');
        applyBodyRules(outcome, sink);
        EXPECT_EQ(outcome.category, c.category);
        EXPECT_EQ(outcome.body.size(), c.bodyKept ? c.bytes : 0u);
    }
}

TEST(ReportedPeerAddress, KeepsPlainAddressesOfAtMost64Characters) {
    const std::string longest = "0000:0000:0000:0000:0000:0000:0000:0000:" + std::string(24, '0');
    ASSERT_EQ(longest.size(), 64u);
    const struct {
        std::string text;
        bool kept;
    } cases[] = {
        {"127.0.0.1", true},  {"::1", true},    {"2001:DB8::aB:1", true}, {"::ffff:192.0.2.1", true},
        {"", true},           {longest, true},  {longest + "0", false},   {"fe80::1%eth0", false},  // a zone suffix
        {"fe80::1%2", false}, {"[::1]", false}, {"127.0.0.1 ", false},    {"g::1", false},
        {"localhost", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(toUtf8(reportedPeerAddress(c.text)), c.kept ? c.text : "");
    }
}

}  // namespace
}  // namespace veskcheck
