#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/advice.h"
#include "utf8_text.h"

namespace veskcheck {
namespace {

using vesktest::toUtf8;

FetchOutcome attempt(ConnectionMode mode, FailureCategory category, std::int32_t httpStatus = 0,
                     std::u16string detail = u"") {
    FetchOutcome outcome;
    outcome.mode = mode;
    outcome.category = category;
    outcome.httpStatus = httpStatus;
    outcome.detail = std::move(detail);
    return outcome;
}

FetchOutcome ipv4(FailureCategory category, std::int32_t httpStatus = 0, std::u16string detail = u"") {
    return attempt(ConnectionMode::Ipv4Only, category, httpStatus, std::move(detail));
}

FetchOutcome anyIp(FailureCategory category, std::int32_t httpStatus = 0, std::u16string detail = u"") {
    return attempt(ConnectionMode::SystemChosen, category, httpStatus, std::move(detail));
}

// A complete run: the Ipv4Only summary, then the SystemChosen one.
std::vector<FetchOutcome> run(FailureCategory first, FailureCategory second) { return {ipv4(first), anyIp(second)}; }

// A value outside the enumeration, as a damaged summary could carry.
const auto strayCategory = static_cast<FailureCategory>(99);

const std::u16string closing = u"\r\n\r\n需要进一步协助时，请点击“保存检测报告”，在官网提交保存的检测报告。";

// What the advice rules rely on, not the numbers themselves: the order from most to least
// telling, the ties, and the bands (certificate, TLS and manifest findings below 20; network-level
// failures and the catch-alls from 20 up).
TEST(CategoryPriority, OrdersFindingsFromMostToLeastTelling) {
    using enum FailureCategory;
    // clang-format off
    const std::vector<std::vector<FailureCategory>> order = {
        {CertRevoked},        {CertNameMismatch}, {SignatureInvalid}, {CertTimeInvalid},
        {CertUntrusted},      {CertOther},        {RevocationUnknown}, {TlsOther},
        {ManifestInvalid},    {HttpStatus},       {TransferIncomplete}, {DnsFailed},
        {ConnectFailed},      {Timeout},          {Cancelled, Unknown, strayCategory}, {Ok},
    };
    // clang-format on
    constexpr std::size_t findings = 9;  // the groups below 20
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int priority = categoryPriority(order[i].front());
        SCOPED_TRACE(static_cast<int>(order[i].front()));
        if (i > 0) {
            EXPECT_GT(priority, categoryPriority(order[i - 1].front()));
        }
        for (const FailureCategory tied : order[i]) EXPECT_EQ(categoryPriority(tied), priority);
        EXPECT_EQ(priority < 20, i < findings);
    }
}

TEST(DecisiveAttempt, IsTheFirstWithTheLowestPriority) {
    struct Case {
        std::vector<FetchOutcome> attempts;
        int decisive;  // index, -1 for none
    };
    const Case cases[] = {
        {{}, -1},
        {{ipv4(FailureCategory::Ok)}, 0},
        {run(FailureCategory::CertTimeInvalid, FailureCategory::CertRevoked), 1},
        {run(FailureCategory::CertRevoked, FailureCategory::CertTimeInvalid), 0},
        {run(FailureCategory::Ok, FailureCategory::CertTimeInvalid), 1},
        {run(FailureCategory::DnsFailed, FailureCategory::CertUntrusted), 1},
        {run(FailureCategory::Timeout, FailureCategory::Timeout), 0},
        {run(FailureCategory::Unknown, FailureCategory::Cancelled), 0},  // equal numbers
        {{ipv4(FailureCategory::HttpStatus, 503), anyIp(FailureCategory::HttpStatus, 404)}, 0},
        {{ipv4(FailureCategory::Ok), anyIp(FailureCategory::Timeout), anyIp(FailureCategory::CertOther),
          anyIp(FailureCategory::CertOther)},
         2},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        const FetchOutcome* decisive = decisiveAttempt(c.attempts);
        if (c.decisive < 0) EXPECT_EQ(decisive, nullptr);
        else EXPECT_EQ(decisive, &c.attempts[c.decisive]);
    }
}

// Each case names the advice text it must give, whole, and whether the closing paragraph follows.
struct AdviceCase {
    const char* what;
    std::vector<FetchOutcome> attempts;
    std::u16string body;
    bool closing;
};

void expectAdvice(const AdviceCase& c) {
    SCOPED_TRACE(c.what);
    const std::u16string advice = selectAdvice(c.attempts);
    EXPECT_EQ(toUtf8(advice), toUtf8(c.body + (c.closing ? closing : u"")));
}

const std::u16string incomplete = u"检测未完成，请关闭工具后重新运行。仍失败请在官网提交检测报告。";
const std::u16string cancelled = u"检测未完成或已取消，请重新检测。需要进一步协助时，请在官网提交检测报告。";
const std::u16string allOk =
    u"本次检测已成功连接更新服务器。\r\n"
    u"\r\n"
    u"请关闭更新器后重新打开，再试一次。\r\n"
    u"如果更新器仍然失败，请在官网提交本报告和更新器的诊断编号。\r\n"
    u"本次已检查安全连接、清单和签名，不代表游戏文件已下载或更新完成。";
const std::u16string timeInvalid =
    u"检测发现：证书有效期检查未通过。可能是电脑时间不准，也可能是服务器证书的问题。\r\n"
    u"\r\n"
    u"1. 右键点击电脑右下角的时间，选择“调整日期/时间”。\r\n"
    u"2. 核对日期、时间和时区；国内通常选择北京时间。打开自动设置时间，如有“立即同步”请点击。\r\n"
    u"3. 确认时间与手机一致，再打开更新器重试。\r\n"
    u"如果时间本来就正确，或仍然失败，请在官网提交检测报告，以便检查服务器证书。";
const std::u16string untrustedRoot =
    u"Windows 不信任更新服务器使用的根证书。\r\n"
    u"\r\n"
    u"如果已经检查过 Windows 更新，请直接保存本次报告，在官网原反馈中补充即可。\r\n"
    u"\r\n"
    u"还未检查时，请先检查 Windows 更新。\r\n"
    u"如果之前关闭了杀毒软件，请重新开启。点击“开始”，搜索并打开“Windows 更新”，选择“检查更新”。安装可用的系统更新，按提示重启，再打开本工具点击“重新检测”。检测通过后，打开游戏更新器重试。\r\n"
    u"\r\n"
    u"如果仍然失败，点击“保存检测报告”，在官网原反馈中提交新报告，说明 Windows 更新结果。\r\n"
    u"工具会自动记录证书路径检查结果。有另一台能正常更新的电脑时，可在两台电脑各运行一次，将报告分别标为“故障电脑”和“正常电脑”提交。";
const std::u16string untrusted =
    u"检测发现：这台电脑未能确认更新服务器的证书可信。\r\n"
    u"\r\n"
    u"请在官网提交检测报告，以便检查证书和服务器配置。\r\n"
    u"您暂时不用重装系统，也不要自行下载“证书修复包”或安装陌生证书。";
const std::u16string revoked =
    u"检测发现：连接使用的证书已被吊销。\r\n"
    u"\r\n"
    u"请暂停更新，在官网提交检测报告。无需修改电脑设置，也不要跳过安全检查。";
const std::u16string revocationUnknown =
    u"检测发现：未能完成证书安全状态查询。\r\n"
    u"\r\n"
    u"如果还没有试过其他网络，可以连接手机热点后重新检测一次。\r\n"
    u"如果已经换过网络，或仍然失败，请在官网提交检测报告，不用反复尝试。";
const std::u16string nameMismatch =
    u"检测发现：收到的证书与更新服务器地址不一致。\r\n"
    u"\r\n"
    u"请暂停更新，在官网提交检测报告，以便核对。暂时不用重装系统或继续关闭杀毒软件。";
const std::u16string unreachable =
    u"检测发现：暂时无法连接更新服务器。\r\n"
    u"\r\n"
    u"1. 打开浏览器，确认其他网页能正常访问。\r\n"
    u"2. 如果网页也打不开，请先恢复网络连接。\r\n"
    u"3. 如果其他网页正常，稍后重试一次；仍失败请在官网提交检测报告。\r\n"
    u"已经试过手机热点的，不需要重复更换网络。";
const std::u16string httpMissing =
    u"检测发现：服务器上的更新文件不存在。\r\n"
    u"\r\n"
    u"请在官网提交检测报告，等待更新文件恢复。无需修复电脑或重装系统。";
const std::u16string httpRefused =
    u"检测发现：更新地址拒绝了访问。\r\n"
    u"\r\n"
    u"请在官网提交检测报告，以便核对访问限制；无需自行安装证书。";
const std::u16string httpUnavailable =
    u"检测发现：服务器暂时不可用或请求受到限制。\r\n"
    u"\r\n"
    u"请稍后再试，不要连续点击重试。如果仍然失败，请在官网提交检测报告。";
const std::u16string httpRedirect =
    u"检测发现：更新地址要求跳转到其他位置。\r\n"
    u"\r\n"
    u"为避免访问错误的下载地址，本工具没有继续跳转。请在官网提交检测报告，无需修改电脑设置。";
const std::u16string httpOther =
    u"安全连接已通过，但服务器没有返回正常的更新响应。\r\n"
    u"\r\n"
    u"请在官网提交检测报告，以便检查更新地址。无需安装证书或修复系统。";
const std::u16string transferIncomplete =
    u"检测发现：更新文件传输没有完成。\r\n"
    u"\r\n"
    u"请稍后重新检测一次。仍然失败时，请在官网提交检测报告；已经换过网络的，不用反复尝试。";
const std::u16string manifestRejected =
    u"检测发现：更新清单或签名未通过检查。\r\n"
    u"\r\n"
    u"请暂停更新，在官网提交检测报告，等待更新文件核查。不要使用来源不明的替代文件。";
const std::u16string noSpecificCause =
    u"本次检测未通过，现有信息还不能确定具体原因。\r\n"
    u"\r\n"
    u"请在官网提交检测报告，以便继续检查。暂时不用重装系统、安装修复软件或继续关闭杀毒软件。";
const std::u16string oneModeWorkedIpv4 =
    u"有一种连接方式成功，另一种失败。\r\n\r\n请重新打开更新器，在连接方式中尝试“"
    u"直连：IPv4 优先，失败自动切换"
    u"”，再点重试。\r\n如果仍然失败，请在官网提交检测报告；暂时不需要重装系统。";
const std::u16string oneModeWorkedSystem =
    u"有一种连接方式成功，另一种失败。\r\n\r\n请重新打开更新器，在连接方式中尝试“"
    u"直连：系统自动选择 IPv4/IPv6"
    u"”，再点重试。\r\n如果仍然失败，请在官网提交检测报告；暂时不需要重装系统。";

TEST(SelectAdvice, TellsAnUnfinishedRunToRunAgain) {
    using enum FailureCategory;
    const AdviceCase cases[] = {
        {"no attempt", {}, incomplete, false},
        {"one attempt that worked", {ipv4(Ok)}, incomplete, false},
        {"one cancelled attempt", {ipv4(Cancelled)}, incomplete, false},
        {"one attempt with a finding", {ipv4(CertTimeInvalid)}, incomplete, false},
        {"three attempts", {ipv4(Ok), anyIp(Ok), anyIp(Ok)}, incomplete, false},
        {"second mode cancelled", run(CertRevoked, Cancelled), cancelled, false},
        {"first mode cancelled", run(Cancelled, Ok), cancelled, false},
    };
    for (const auto& c : cases) expectAdvice(c);
}

TEST(SelectAdvice, PointsToTheWorkingModeOnlyWhenTheOtherFailedAtNetworkLevel) {
    using enum FailureCategory;
    const AdviceCase cases[] = {
        {"both worked", run(Ok, Ok), allOk, true},
        {"status failure is network level", {ipv4(Ok), anyIp(HttpStatus, 404)}, oneModeWorkedIpv4, true},
        {"transfer broke", run(TransferIncomplete, Ok), oneModeWorkedSystem, true},
        {"connect failed", run(ConnectFailed, Ok), oneModeWorkedSystem, true},
        {"name lookup failed", run(DnsFailed, Ok), oneModeWorkedSystem, true},
        {"time-out", run(Ok, Timeout), oneModeWorkedIpv4, true},
        {"unknown failure", run(Ok, Unknown), oneModeWorkedIpv4, true},
        {"stray category", run(strayCategory, Ok), oneModeWorkedSystem, true},
        {"time finding outweighs", run(Ok, CertTimeInvalid), timeInvalid, true},
        {"manifest finding outweighs", run(Ok, ManifestInvalid), manifestRejected, true},
        {"signature finding outweighs", run(SignatureInvalid, Ok), manifestRejected, true},
        {"unexplained TLS failure outweighs", run(Ok, TlsOther), noSpecificCause, true},
        {"unexplained certificate failure outweighs", run(CertOther, Ok), noSpecificCause, true},
    };
    for (const auto& c : cases) expectAdvice(c);
}

TEST(SelectAdvice, FollowsTheDecisiveFinding) {
    using enum FailureCategory;
    const AdviceCase cases[] = {
        {"time", run(CertTimeInvalid, CertTimeInvalid), timeInvalid, true},
        {"revocation beats time", run(CertTimeInvalid, CertRevoked), revoked, true},
        {"name mismatch beats time", run(CertTimeInvalid, CertNameMismatch), nameMismatch, true},
        {"revocation unknown", run(RevocationUnknown, DnsFailed), revocationUnknown, true},
        {"untrusted, no name", run(CertUntrusted, CertUntrusted), untrusted, true},
        {"dns", run(DnsFailed, DnsFailed), unreachable, true},
        {"connect", run(ConnectFailed, Timeout), unreachable, true},
        {"time-out", run(Timeout, Timeout), unreachable, true},
        {"transfer", run(TransferIncomplete, Timeout), transferIncomplete, true},
        {"manifest", run(ManifestInvalid, ManifestInvalid), manifestRejected, true},
        {"signature", run(SignatureInvalid, ManifestInvalid), manifestRejected, true},
        {"certificate other", run(CertOther, CertOther), noSpecificCause, true},
        {"tls other", run(TlsOther, DnsFailed), noSpecificCause, true},
        {"unknown", run(Unknown, Unknown), noSpecificCause, true},
        {"stray category", run(strayCategory, strayCategory), noSpecificCause, true},
        {"status beats dns, status of the second mode", {ipv4(DnsFailed), anyIp(HttpStatus, 404)}, httpMissing, true},
        {"equal status failures: the first mode's status",
         {ipv4(HttpStatus, 503), anyIp(HttpStatus, 404)},
         httpUnavailable,
         true},
    };
    for (const auto& c : cases) expectAdvice(c);
}

TEST(SelectAdvice, SendsToWindowsUpdateOnlyForAnUntrustedRoot) {
    using enum FailureCategory;
    const AdviceCase cases[] = {
        {"root named by the decisive mode",
         {ipv4(DnsFailed), anyIp(CertUntrusted, 0, u"SEC_E_UNTRUSTED_ROOT")},
         untrustedRoot,
         false},
        {"root named by the later mode",
         {ipv4(CertUntrusted, 0, u"CERT_TRUST_IS_PARTIAL_CHAIN"), anyIp(CertUntrusted, 0, u"SEC_E_UNTRUSTED_ROOT")},
         untrustedRoot,
         false},
        {"root named by the earlier mode",
         {ipv4(CertUntrusted, 0, u"CERT_E_UNTRUSTEDROOT"), anyIp(CertUntrusted, 0, u"CERT_E_CHAINING")},
         untrustedRoot,
         false},
        {"root named by the mode that is not decisive",
         {ipv4(CertTimeInvalid), anyIp(CertUntrusted, 0, u"CERT_TRUST_IS_UNTRUSTED_ROOT")},
         timeInvalid,
         true},
        {"root name beside a revocation",
         {ipv4(CertUntrusted, 0, u"SEC_E_UNTRUSTED_ROOT"), anyIp(CertRevoked)},
         revoked,
         true},
        {"root named while the other mode worked",
         {ipv4(Ok), anyIp(CertUntrusted, 0, u"CERT_TRUST_IS_UNTRUSTED_ROOT")},
         untrustedRoot,
         false},
        {"incomplete chain only",
         {ipv4(CertUntrusted, 0, u"CERT_TRUST_IS_PARTIAL_CHAIN"), anyIp(DnsFailed)},
         untrusted,
         true},
        {"name only close to a root name",
         {ipv4(CertUntrusted, 0, u"sec_e_untrusted_root"), anyIp(DnsFailed)},
         untrusted,
         true},
        {"root name on another category",
         {ipv4(CertUntrusted), anyIp(CertOther, 0, u"SEC_E_UNTRUSTED_ROOT")},
         untrusted,
         true},
    };
    for (const auto& c : cases) expectAdvice(c);
}

TEST(SelectAdvice, ReadsTheDecisiveStatusInTableOrder) {
    struct StatusCase {
        std::int32_t status;
        const std::u16string& body;
    };
    const StatusCase cases[] = {
        {404, httpMissing},     {410, httpMissing},     {401, httpRefused},     {403, httpRefused},
        {407, httpRefused},     {429, httpUnavailable}, {500, httpUnavailable}, {503, httpUnavailable},
        {599, httpUnavailable}, {300, httpRedirect},    {301, httpRedirect},    {302, httpRedirect},
        {399, httpRedirect},    {400, httpOther},       {402, httpOther},       {405, httpOther},
        {408, httpOther},       {499, httpOther},       {204, httpOther},       {299, httpOther},
        {0, httpOther},
    };
    for (const auto& c : cases) {
        const std::string what = "status " + std::to_string(c.status);
        expectAdvice({what.c_str(),
                      {ipv4(FailureCategory::HttpStatus, c.status), anyIp(FailureCategory::HttpStatus, c.status)},
                      c.body,
                      true});
    }
}

TEST(ShowTimeSettings, OnlyWhenTheDecisiveFindingOfACompleteRunIsTheValidityPeriod) {
    using enum FailureCategory;
    struct Case {
        std::vector<FetchOutcome> attempts;
        bool show;
    };
    const Case cases[] = {
        {run(CertTimeInvalid, CertTimeInvalid), true},
        {run(Ok, CertTimeInvalid), true},
        {run(CertTimeInvalid, Ok), true},
        {run(DnsFailed, CertTimeInvalid), true},
        {run(CertTimeInvalid, CertUntrusted), true},
        {run(CertTimeInvalid, CertRevoked), false},
        {run(CertNameMismatch, CertTimeInvalid), false},
        {run(CertTimeInvalid, SignatureInvalid), false},
        {run(CertTimeInvalid, Cancelled), false},
        {run(Cancelled, CertTimeInvalid), false},
        {run(Unknown, Unknown), false},
        {run(Ok, Ok), false},
        {{}, false},
        {{ipv4(CertTimeInvalid)}, false},
        {{ipv4(CertTimeInvalid), anyIp(CertTimeInvalid), anyIp(CertTimeInvalid)}, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(showTimeSettings(cases[i].attempts), cases[i].show);
    }
}

// The reader of submitted reports names an advice by its text: every advice selectAdvice gives
// must come back as the rule that gave it, and nothing else may.
TEST(IdentifyAdvice, NamesEveryAdviceSelectAdviceGivesAndNoOtherText) {
    using enum FailureCategory;
    const struct {
        std::vector<FetchOutcome> attempts;
        AdviceKind kind;
        ConnectionMode workingMode;
    } cases[] = {
        {{ipv4(Ok)}, AdviceKind::Incomplete, ConnectionMode::SystemChosen},
        {run(Cancelled, Ok), AdviceKind::Cancelled, ConnectionMode::SystemChosen},
        {run(Ok, Ok), AdviceKind::AllOk, ConnectionMode::SystemChosen},
        {run(DnsFailed, Ok), AdviceKind::OneModeWorked, ConnectionMode::SystemChosen},
        {run(Ok, Timeout), AdviceKind::OneModeWorked, ConnectionMode::Ipv4Only},
        {run(CertTimeInvalid, Ok), AdviceKind::TimeInvalid, ConnectionMode::SystemChosen},
        {{ipv4(CertUntrusted, 0, u"SEC_E_UNTRUSTED_ROOT"), anyIp(Ok)},
         AdviceKind::UntrustedRoot,
         ConnectionMode::SystemChosen},
        {run(CertUntrusted, CertUntrusted), AdviceKind::Untrusted, ConnectionMode::SystemChosen},
        {run(CertRevoked, Ok), AdviceKind::Revoked, ConnectionMode::SystemChosen},
        {run(RevocationUnknown, Ok), AdviceKind::RevocationUnknown, ConnectionMode::SystemChosen},
        {run(CertNameMismatch, Ok), AdviceKind::NameMismatch, ConnectionMode::SystemChosen},
        {run(ConnectFailed, DnsFailed), AdviceKind::Unreachable, ConnectionMode::SystemChosen},
        {{ipv4(HttpStatus, 404), anyIp(HttpStatus, 404)}, AdviceKind::HttpMissing, ConnectionMode::SystemChosen},
        {{ipv4(HttpStatus, 403), anyIp(HttpStatus, 403)}, AdviceKind::HttpRefused, ConnectionMode::SystemChosen},
        {{ipv4(HttpStatus, 503), anyIp(HttpStatus, 503)}, AdviceKind::HttpUnavailable, ConnectionMode::SystemChosen},
        {{ipv4(HttpStatus, 301), anyIp(HttpStatus, 301)}, AdviceKind::HttpRedirect, ConnectionMode::SystemChosen},
        {{ipv4(HttpStatus, 418), anyIp(HttpStatus, 418)}, AdviceKind::HttpOther, ConnectionMode::SystemChosen},
        {run(TransferIncomplete, TransferIncomplete), AdviceKind::TransferIncomplete, ConnectionMode::SystemChosen},
        {run(SignatureInvalid, Ok), AdviceKind::ManifestRejected, ConnectionMode::SystemChosen},
        {run(Unknown, TlsOther), AdviceKind::NoSpecificCause, ConnectionMode::SystemChosen},
    };
    for (const auto& c : cases) {
        const std::u16string advice = selectAdvice(c.attempts);
        SCOPED_TRACE(adviceName(c.kind));
        const auto identity = identifyAdvice(advice);
        ASSERT_TRUE(identity.has_value());
        EXPECT_EQ(identity->kind, c.kind);
        if (c.kind == AdviceKind::OneModeWorked) {
            EXPECT_EQ(identity->workingMode, c.workingMode);
        }
        EXPECT_FALSE(identifyAdvice(advice + u" ").has_value());
        EXPECT_FALSE(identifyAdvice(advice.substr(0, advice.size() - 1)).has_value());
    }
    EXPECT_FALSE(identifyAdvice(u"").has_value());
}

}  // namespace
}  // namespace veskcheck
