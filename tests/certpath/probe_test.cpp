#include <curl/curl.h>
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "certpath/probe.h"
#include "certpath/failure.h"
#include "certpath/probe_deadline.h"
#include "certpath/probe_handshake.h"
#include "common/tick_clock.h"
#include "utf8_text.h"

using namespace veskcheck;
using vesktest::toUtf8;

namespace {

// The probe relies on the socket layer that the run's libcurl initialisation starts.
class SocketLayer : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};
const auto* const socketLayer = ::testing::AddGlobalTestEnvironment(new SocketLayer);

// The failure an action throws, if any.
template <typename Action>
std::optional<Failure> failureOf(Action&& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

void expectFailure(const std::optional<Failure>& failure, const char16_t* step, std::uint32_t code) {
    ASSERT_TRUE(failure.has_value()) << "expected " << toUtf8(step);
    EXPECT_EQ(std::u16string(failure->step), step);
    EXPECT_EQ(failure->code, code);
}

constexpr char16_t cancelledLine[] = u"证书路径未取得：已取消（0x000004C7）。\r\n";

}  // namespace

TEST(ProbeDeadline, CheckSeesTheCancelBeforeTheBudget) {
    struct Case {
        bool cancelled;
        bool expired;
        const char16_t* step;
        std::uint32_t code;
    };
    const Case cases[] = {
        {false, false, nullptr, 0},
        {true, false, u"已取消", 1223},
        {false, true, u"握手超时", 258},
        {true, true, u"已取消", 1223},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cancelled " << c.cancelled << ", expired " << c.expired);
        const CancelFlag cancel{c.cancelled};
        const std::uint64_t now = tickCountMs();
        const ProbeDeadline deadline{cancel, c.expired ? now : now + probeBudgetMs};
        const auto failure = failureOf([&] { deadline.check(); });
        if (c.step) expectFailure(failure, c.step, c.code);
        else EXPECT_FALSE(failure.has_value());
    }
}

TEST(ProbeDeadline, StartsWithSixSecondsOfBudget) {
    const CancelFlag cancel{false};
    const std::uint64_t before = tickCountMs();
    const ProbeDeadline deadline = startProbeDeadline(cancel);
    const std::uint64_t after = tickCountMs();
    EXPECT_GE(deadline.deadline, before + 6000);
    EXPECT_LE(deadline.deadline, after + 6000);
}

TEST(ProbeDeadline, WaitsInSlicesUntilReady) {
    const CancelFlag cancel{false};
    const ProbeDeadline deadline = startProbeDeadline(cancel);
    int slices = 0;
    deadline.waitFor([&](int sliceMs) {
        EXPECT_EQ(sliceMs, 150);
        return ++slices == 3;
    });
    EXPECT_EQ(slices, 3);
}

TEST(ProbeDeadline, CancelDuringAWaitEndsItBeforeTheNextSlice) {
    CancelFlag cancel{false};
    const ProbeDeadline deadline = startProbeDeadline(cancel);
    int slices = 0;
    const auto failure = failureOf([&] {
        deadline.waitFor([&](int) {
            if (++slices == 2) cancel.store(true);
            return false;
        });
    });
    expectFailure(failure, u"已取消", 1223);
    EXPECT_EQ(slices, 2);
}

TEST(ProbeDeadline, ExpiredBudgetEndsAWaitBeforeAnySlice) {
    const CancelFlag cancel{false};
    const ProbeDeadline deadline{cancel, tickCountMs()};
    int slices = 0;
    expectFailure(failureOf([&] { deadline.waitFor([&](int) { return ++slices > 0; }); }), u"握手超时", 258);
    EXPECT_EQ(slices, 0);
}

TEST(CheckHandshakeInput, HoldsAtMost256KiB) {
    struct Case {
        std::size_t held;
        std::size_t received;
        bool refused;
    };
    const Case cases[] = {
        {0, 16384, false},
        {262144 - 16384, 16384, false},
        {262144, 0, false},
        {262144 - 16383, 16384, true},
        {262144, 1, true},
        {262145, 0, true},
        {1, std::numeric_limits<std::size_t>::max(), true},  // no wrap-around
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.held << " + " << c.received);
        const auto failure = failureOf([&] { checkHandshakeInput(c.held, c.received); });
        if (c.refused) expectFailure(failure, u"握手数据超限", 111);
        else EXPECT_FALSE(failure.has_value());
    }
}

TEST(ProbeCertificatePath, CancelledBeforeTheStartEndsAtOnce) {
    const CancelFlag cancel{true};
    EXPECT_EQ(probeCertificatePath(u"127.0.0.1", 443, u"update.vesk.example", cancel), cancelledLine);
}

TEST(ProbeCertificatePath, NameInsteadOfAddressIsNeverLookedUp) {
    const CancelFlag cancel{false};
    const std::u16string line = probeCertificatePath(u"localhost", 443, u"update.vesk.example", cancel);
    EXPECT_EQ(line.rfind(u"证书路径未取得：对端地址（0x", 0), 0u) << toUtf8(line);
    EXPECT_EQ(line.substr(line.size() - 4), u"）。\r\n") << toUtf8(line);
}

TEST(ProbeCertificatePath, RefusedConnectionNamesTheConnectStep) {
    const CancelFlag cancel{false};
    const std::uint64_t start = tickCountMs();
    // Nothing listens on the loopback's port 1.
    const std::u16string line = probeCertificatePath(u"127.0.0.1", 1, u"update.vesk.example", cancel);
    EXPECT_TRUE(line.rfind(u"证书路径未取得：连接对端（0x", 0) == 0 || line.rfind(u"证书路径未取得：连接（0x", 0) == 0)
        << toUtf8(line);
    EXPECT_LT(tickCountMs() - start, 3000u) << "a refused connection must not wait out the budget";
}
