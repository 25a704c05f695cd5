// Reports rendered by the program's own report code, read back: every fact must come back as it
// went in, whatever the encoding a report reaches the support desk in; anything else is refused
// with a reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "certpath/chain_block.h"
#include "certpath/chain_words.h"
#include "check/report_text.h"
#include "common/ascii_text.h"
#include "common/utf8_encode.h"
#include "net/advice.h"
#include "report/report_reader.h"
#include "report_file_bytes.h"
#include "utf8_text.h"

namespace veskreport {
namespace {

using veskcheck::ConnectionMode;
using veskcheck::FailureCategory;
using veskcheck::FetchOutcome;

FetchOutcome fetch(ConnectionMode mode, std::u16string target, FailureCategory category, std::int32_t curl,
                   std::int32_t http, std::u16string peer, std::u16string detail = u"") {
    FetchOutcome f;
    f.mode = mode;
    f.target = std::move(target);
    f.category = category;
    f.curlCode = curl;
    f.httpStatus = http;
    f.elapsedMs = 412;
    f.dnsMs = 15;
    f.connectMs = 48;
    f.tlsMs = 196;
    f.peerIp = std::move(peer);
    f.detail = std::move(detail);
    return f;
}

veskcheck::ChainDescription untrustedChain(std::size_t layers) {
    veskcheck::ChainDescription chain{0x20, 0x800B0109, {}};
    veskcheck::ChainPath path{0x20, {}};
    for (std::size_t i = 0; i < layers; ++i)
        path.layers.push_back({u"layer" + veskcheck::widenedAscii(std::to_string(i)),
                               u"Interception Root CA",
                               i + 1 == layers ? 0x20u : 0u,
                               {static_cast<unsigned char>(i)}});
    chain.paths = {path, path};
    return chain;
}

// What one rendered report holds, and its text as the program writes it.
struct Rendered {
    std::vector<FetchOutcome> log;
    std::vector<FetchOutcome> attempts;
    std::vector<std::u16string> blocks;  // one per address of the log, in order
    bool internalError = false;
    std::u16string text;
};

Rendered render(std::vector<FetchOutcome> log, std::vector<FetchOutcome> attempts, std::vector<std::u16string> blocks,
                bool internalError = false, std::u16string wine = u"") {
    using namespace veskcheck;
    Rendered r{std::move(log), std::move(attempts), std::move(blocks), internalError, {}};
    r.text = headerLine() + timeLines(u"2026-12-10 23:00:05 UTC", u"2026-12-11 07:00:10（电脑本地时间）") +
             systemLine(u"Windows 10 / x64 / 构建 19045") + (wine.empty() ? u"" : compatibilityLine(wine)) +
             scopeBlock(u"update.vesk.example") + componentLine("8.21.0", "Schannel") +
             (internalError ? internalErrorLine() : u"") + adviceSection(selectAdvice(r.attempts));
    for (const FetchOutcome& f : r.log) r.text += diagnosticLine(f);
    r.text += certificateHeading();
    std::size_t block = 0;
    for (const FetchOutcome& f : r.log)
        if (!f.peerIp.empty() && block < r.blocks.size())
            r.text += addressHeading(f.peerIp, u"update.vesk.example") + r.blocks[block++];
    if (block == 0) r.text += noAddressLine();
    for (const FetchOutcome& a : r.attempts) r.text += finalClassificationLine(a);
    r.text += footer();
    return r;
}

// As pasted into a web form: UTF-8, LF line breaks, the last one trimmed away.
std::vector<unsigned char> asPasted(std::u16string text) {
    std::u16string lf;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) lf += text[i];
    lf.pop_back();
    const std::string utf8 = veskcheck::utf8FromUtf16(lf);
    return {utf8.begin(), utf8.end()};
}

std::variant<ReportRecord, Refusal> read(const std::vector<unsigned char>& bytes) { return readReportBytes(bytes); }

void expectFacts(const Rendered& r, const ReportRecord& record) {
    EXPECT_EQ(record.updaterVersion, u"1.1.5");
    EXPECT_EQ(record.startUtc, u"2026-12-10 23:00:05");
    EXPECT_EQ(record.computerOffsetSeconds, 8 * 3600 + 5);
    EXPECT_EQ(record.windowsVersion, u"Windows 10");
    EXPECT_EQ(record.architecture, u"x64");
    EXPECT_EQ(record.build, 19045u);
    EXPECT_EQ(record.host, u"update.vesk.example");
    EXPECT_EQ(record.libcurlVersion, u"8.21.0");
    EXPECT_EQ(record.tlsBackend, u"Schannel");
    EXPECT_EQ(record.internalError, r.internalError);
    const std::u16string advice = veskcheck::selectAdvice(r.attempts);
    EXPECT_EQ(record.adviceText, advice);
    ASSERT_TRUE(record.advice.has_value());
    EXPECT_EQ(record.advice->kind, veskcheck::identifyAdvice(advice)->kind);
    ASSERT_EQ(record.diagnostics.size(), r.log.size());
    for (std::size_t i = 0; i < r.log.size(); ++i) {
        const Diagnostic& d = record.diagnostics[i];
        const FetchOutcome& f = r.log[i];
        EXPECT_EQ(d.mode == Mode::Ipv4Only, f.mode == ConnectionMode::Ipv4Only);
        EXPECT_EQ(d.target, f.target);
        EXPECT_EQ(d.curlCode, static_cast<std::uint32_t>(f.curlCode));
        EXPECT_EQ(d.httpStatus, f.httpStatus);
        EXPECT_EQ(d.elapsedMs, f.elapsedMs);
        EXPECT_EQ(d.tlsMs, 196u);
        EXPECT_EQ(d.peer, f.peerIp);
        EXPECT_EQ(d.certificateWord, f.detail.empty() ? u"未提供可识别的详细标志" : f.detail);
    }
    ASSERT_EQ(record.classifications.size(), r.attempts.size());
    for (std::size_t i = 0; i < r.attempts.size(); ++i) {
        EXPECT_EQ(record.classifications[i].category, static_cast<std::int32_t>(r.attempts[i].category));
        EXPECT_EQ(record.classifications[i].detail, r.attempts[i].detail);
    }
}

TEST(ReportReader, ReadsBackEveryFactOfRenderedReportsAsWrittenAndAsPasted) {
    using enum FailureCategory;
    constexpr auto v4 = ConnectionMode::Ipv4Only;
    constexpr auto any = ConnectionMode::SystemChosen;
    const std::u16string probeFailure =
        std::u16string(veskcheck::chainWords::failure) + u"握手超时（0x00000102）。\r\n";
    const std::u16string analysisFailure = std::u16string(veskcheck::chainWords::failure) + u"本机分析失败。\r\n";
    const std::vector<Rendered> reports = {
        render({fetch(v4, u"清单", Ok, 0, 200, u"203.0.113.7"), fetch(any, u"清单", Ok, 0, 200, u"2001:db8::7")},
               {fetch(v4, u"清单", Ok, 0, 200, u"203.0.113.7", u"清单签名和格式通过"),
                fetch(any, u"清单", Ok, 0, 200, u"2001:db8::7", u"清单签名和格式通过")},
               {veskcheck::writeChainBlock(untrustedChain(2)), veskcheck::writeChainBlock(untrustedChain(17))}),
        render({fetch(v4, u"清单", CertUntrusted, 60, 0, u"203.0.113.7", u"SEC_E_UNTRUSTED_ROOT"),
                fetch(any, u"清单", DnsFailed, 6, 0, u"")},
               {fetch(v4, u"清单", CertUntrusted, 60, 0, u"203.0.113.7", u"SEC_E_UNTRUSTED_ROOT"),
                fetch(any, u"清单", DnsFailed, 6, 0, u"")},
               {probeFailure}),
        render({fetch(v4, u"清单", HttpStatus, 0, -1, u"198.51.100.2")},
               {fetch(v4, u"清单", HttpStatus, 0, -1, u"198.51.100.2")}, {analysisFailure}, true, u"9.0"),
        render({}, {}, {}),
    };
    for (const Rendered& r : reports) {
        for (const auto& bytes : {vesktest::reportFileBytes(r.text), asPasted(r.text)}) {
            const auto read = veskreport::read(bytes);
            ASSERT_TRUE(std::holds_alternative<ReportRecord>(read)) << std::get<Refusal>(read).reason;
            expectFacts(r, std::get<ReportRecord>(read));
        }
    }
    const ReportRecord first = std::get<ReportRecord>(veskreport::read(vesktest::reportFileBytes(reports[0].text)));
    ASSERT_EQ(first.certificateChecks.size(), 2u);
    EXPECT_EQ(first.certificateChecks[1].peer, u"2001:db8::7");
    EXPECT_EQ(first.certificateChecks[1].policyVerdict, u"0x800B0109");
    ASSERT_EQ(first.certificateChecks[1].paths.size(), 2u);
    EXPECT_TRUE(first.certificateChecks[1].paths[0].moreLayers);
    EXPECT_EQ(first.certificateChecks[0].paths[0].layers[1].issuer, u"Interception Root CA");
    EXPECT_EQ(first.certificateChecks[0].paths[0].layers[0].fingerprint.size(), 64u);
    const ReportRecord second = std::get<ReportRecord>(veskreport::read(vesktest::reportFileBytes(reports[1].text)));
    ASSERT_EQ(second.certificateChecks.size(), 1u);
    EXPECT_EQ(second.certificateChecks[0].failedStep, u"握手超时");
    EXPECT_EQ(second.certificateChecks[0].failureCode, u"0x00000102");
    EXPECT_EQ(std::get<ReportRecord>(veskreport::read(vesktest::reportFileBytes(reports[2].text)))
                  .certificateChecks[0]
                  .failedStep,
              veskcheck::chainWords::analysisFailed);
    EXPECT_TRUE(std::get<ReportRecord>(veskreport::read(vesktest::reportFileBytes(reports[3].text))).noAddress);
    EXPECT_EQ(std::get<ReportRecord>(veskreport::read(vesktest::reportFileBytes(reports[2].text))).wineVersion, u"9.0");
    EXPECT_FALSE(first.wineVersion.has_value());
}

TEST(ReportReader, RefusesWhatIsNotAWholeReportWithAReason) {
    const std::u16string text = render({fetch(ConnectionMode::Ipv4Only, u"清单", FailureCategory::Ok, 0, 200, u"")},
                                       {fetch(ConnectionMode::Ipv4Only, u"清单", FailureCategory::Ok, 0, 200, u"")}, {})
                                    .text;
    const std::string utf8 = veskcheck::utf8FromUtf16(text);
    std::vector<unsigned char> oddUtf16 = vesktest::reportFileBytes(text);
    oddUtf16.push_back(0);
    const struct {
        const char* what;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"empty", {}},
        {"another text", {'h', 'e', 'l', 'l', 'o', '\n'}},
        {"not text", {0x00, 0xFF, 0xC0, 0x80}},
        {"cut before the footer", vesktest::reportFileBytes(text.substr(0, text.size() - 40))},
        {"text after the footer", vesktest::reportFileBytes(text + u"P.S.\r\n")},
        {"a lone CR", vesktest::reportFileBytes(text.substr(0, 30) + u"\r" + text.substr(30))},
        {"an odd number of UTF-16 bytes", oddUtf16},
        {"over 1 MiB", std::vector<unsigned char>(maxReportBytes + 1, ' ')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = veskreport::read(c.bytes);
        ASSERT_TRUE(std::holds_alternative<Refusal>(read));
        EXPECT_FALSE(std::get<Refusal>(read).reason.empty());
    }
    EXPECT_TRUE(std::holds_alternative<ReportRecord>(veskreport::read({utf8.begin(), utf8.end()})));
}

}  // namespace
}  // namespace veskreport
