#include "net/advice.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace veskcheck {
namespace {

// A complete run tries both connection modes; anything else was cut short.
constexpr std::size_t modesPerRun = 2;
constexpr int firstNetworkLevelPriority = 20;

constexpr std::u16string_view closingParagraph =
    u"\r\n\r\n需要进一步协助时，请点击“保存检测报告”，在官网提交保存的检测报告。";

constexpr std::u16string_view incompleteAdvice = u"检测未完成，请关闭工具后重新运行。仍失败请在官网提交检测报告。";
constexpr std::u16string_view cancelledAdvice =
    u"检测未完成或已取消，请重新检测。需要进一步协助时，请在官网提交检测报告。";
constexpr std::u16string_view allOkAdvice =
    u"本次检测已成功连接更新服务器。\r\n\r\n"
    u"请关闭更新器后重新打开，再试一次。\r\n"
    u"如果更新器仍然失败，请在官网提交本报告和更新器的诊断编号。\r\n"
    u"本次已检查安全连接、清单和签名，不代表游戏文件已下载或更新完成。";
constexpr std::u16string_view oneModeWorkedOpening =
    u"有一种连接方式成功，另一种失败。\r\n\r\n请重新打开更新器，在连接方式中尝试“";
constexpr std::u16string_view oneModeWorkedClosing =
    u"”，再点重试。\r\n如果仍然失败，请在官网提交检测报告；暂时不需要重装系统。";

constexpr std::u16string_view timeInvalidAdvice =
    u"检测发现：证书有效期检查未通过。可能是电脑时间不准，也可能是服务器证书的问题。\r\n\r\n"
    u"1. 右键点击电脑右下角的时间，选择“调整日期/时间”。\r\n"
    u"2. 核对日期、时间和时区；国内通常选择北京时间。打开自动设置时间，如有“立即同步”请点击。\r\n"
    u"3. 确认时间与手机一致，再打开更新器重试。\r\n"
    u"如果时间本来就正确，或仍然失败，请在官网提交检测报告，以便检查服务器证书。";
constexpr std::u16string_view untrustedRootAdvice =
    u"Windows 不信任更新服务器使用的根证书。\r\n\r\n"
    u"如果已经检查过 Windows 更新，请直接保存本次报告，在官网原反馈中补充即可。\r\n\r\n"
    u"还未检查时，请先检查 Windows 更新。\r\n"
    u"如果之前关闭了杀毒软件，请重新开启。点击“开始”，搜索并打开“Windows 更新”，选择“检查更新”。"
    u"安装可用的系统更新，按提示重启，再打开本工具点击“重新检测”。检测通过后，打开游戏更新器重试。\r\n\r\n"
    u"如果仍然失败，点击“保存检测报告”，在官网原反馈中提交新报告，说明 Windows 更新结果。\r\n"
    u"工具会自动记录证书路径检查结果。有另一台能正常更新的电脑时，可在两台电脑各运行一次，"
    u"将报告分别标为“故障电脑”和“正常电脑”提交。";
constexpr std::u16string_view untrustedAdvice =
    u"检测发现：这台电脑未能确认更新服务器的证书可信。\r\n\r\n"
    u"请在官网提交检测报告，以便检查证书和服务器配置。\r\n"
    u"您暂时不用重装系统，也不要自行下载“证书修复包”或安装陌生证书。";
constexpr std::u16string_view revokedAdvice =
    u"检测发现：连接使用的证书已被吊销。\r\n\r\n"
    u"请暂停更新，在官网提交检测报告。无需修改电脑设置，也不要跳过安全检查。";
constexpr std::u16string_view revocationUnknownAdvice =
    u"检测发现：未能完成证书安全状态查询。\r\n\r\n"
    u"如果还没有试过其他网络，可以连接手机热点后重新检测一次。\r\n"
    u"如果已经换过网络，或仍然失败，请在官网提交检测报告，不用反复尝试。";
constexpr std::u16string_view nameMismatchAdvice =
    u"检测发现：收到的证书与更新服务器地址不一致。\r\n\r\n"
    u"请暂停更新，在官网提交检测报告，以便核对。暂时不用重装系统或继续关闭杀毒软件。";
constexpr std::u16string_view unreachableAdvice =
    u"检测发现：暂时无法连接更新服务器。\r\n\r\n"
    u"1. 打开浏览器，确认其他网页能正常访问。\r\n"
    u"2. 如果网页也打不开，请先恢复网络连接。\r\n"
    u"3. 如果其他网页正常，稍后重试一次；仍失败请在官网提交检测报告。\r\n"
    u"已经试过手机热点的，不需要重复更换网络。";
constexpr std::u16string_view httpMissingAdvice =
    u"检测发现：服务器上的更新文件不存在。\r\n\r\n"
    u"请在官网提交检测报告，等待更新文件恢复。无需修复电脑或重装系统。";
constexpr std::u16string_view httpRefusedAdvice =
    u"检测发现：更新地址拒绝了访问。\r\n\r\n"
    u"请在官网提交检测报告，以便核对访问限制；无需自行安装证书。";
constexpr std::u16string_view httpUnavailableAdvice =
    u"检测发现：服务器暂时不可用或请求受到限制。\r\n\r\n"
    u"请稍后再试，不要连续点击重试。如果仍然失败，请在官网提交检测报告。";
constexpr std::u16string_view httpRedirectAdvice =
    u"检测发现：更新地址要求跳转到其他位置。\r\n\r\n"
    u"为避免访问错误的下载地址，本工具没有继续跳转。请在官网提交检测报告，无需修改电脑设置。";
constexpr std::u16string_view httpOtherAdvice =
    u"安全连接已通过，但服务器没有返回正常的更新响应。\r\n\r\n"
    u"请在官网提交检测报告，以便检查更新地址。无需安装证书或修复系统。";
constexpr std::u16string_view transferIncompleteAdvice =
    u"检测发现：更新文件传输没有完成。\r\n\r\n"
    u"请稍后重新检测一次。仍然失败时，请在官网提交检测报告；已经换过网络的，不用反复尝试。";
constexpr std::u16string_view manifestRejectedAdvice =
    u"检测发现：更新清单或签名未通过检查。\r\n\r\n"
    u"请暂停更新，在官网提交检测报告，等待更新文件核查。不要使用来源不明的替代文件。";
constexpr std::u16string_view noSpecificCauseAdvice =
    u"本次检测未通过，现有信息还不能确定具体原因。\r\n\r\n"
    u"请在官网提交检测报告，以便继续检查。暂时不用重装系统、安装修复软件或继续关闭杀毒软件。";

// The names the TLS back end uses when the root itself is distrusted, as opposed to a chain that
// could not be completed; only these justify sending the player to Windows Update.
constexpr std::u16string_view untrustedRootNames[] = {u"SEC_E_UNTRUSTED_ROOT", u"CERT_E_UNTRUSTEDROOT",
                                                      u"CERT_TRUST_IS_UNTRUSTED_ROOT"};

struct CataloguedAdvice {
    AdviceKind kind;
    std::string_view name;
    int rule;
    std::u16string_view text;  // without the closing paragraph
    bool closing;
};

// Every advice with its name; the one-mode-worked advice is matched by its two modes instead.
constexpr CataloguedAdvice catalogue[] = {
    {AdviceKind::Incomplete, "incomplete", 1, incompleteAdvice, false},
    {AdviceKind::Cancelled, "cancelled", 2, cancelledAdvice, false},
    {AdviceKind::AllOk, "all-ok", 3, allOkAdvice, true},
    {AdviceKind::OneModeWorked, "one-mode-worked", 4, {}, true},
    {AdviceKind::TimeInvalid, "time-invalid", 5, timeInvalidAdvice, true},
    {AdviceKind::UntrustedRoot, "untrusted-root", 5, untrustedRootAdvice, false},
    {AdviceKind::Untrusted, "untrusted", 5, untrustedAdvice, true},
    {AdviceKind::Revoked, "revoked", 5, revokedAdvice, true},
    {AdviceKind::RevocationUnknown, "revocation-unknown", 5, revocationUnknownAdvice, true},
    {AdviceKind::NameMismatch, "name-mismatch", 5, nameMismatchAdvice, true},
    {AdviceKind::Unreachable, "unreachable", 5, unreachableAdvice, true},
    {AdviceKind::HttpMissing, "http-missing", 5, httpMissingAdvice, true},
    {AdviceKind::HttpRefused, "http-refused", 5, httpRefusedAdvice, true},
    {AdviceKind::HttpUnavailable, "http-unavailable", 5, httpUnavailableAdvice, true},
    {AdviceKind::HttpRedirect, "http-redirect", 5, httpRedirectAdvice, true},
    {AdviceKind::HttpOther, "http-other", 5, httpOtherAdvice, true},
    {AdviceKind::TransferIncomplete, "transfer-incomplete", 5, transferIncompleteAdvice, true},
    {AdviceKind::ManifestRejected, "manifest-rejected", 5, manifestRejectedAdvice, true},
    {AdviceKind::NoSpecificCause, "no-specific-cause", 5, noSpecificCauseAdvice, true},
};

const CataloguedAdvice& cataloguedAdvice(AdviceKind kind) {
    return *std::ranges::find(catalogue, kind, &CataloguedAdvice::kind);
}

bool isOk(const FetchOutcome& attempt) { return attempt.category == FailureCategory::Ok; }

bool isCancelled(const FetchOutcome& attempt) { return attempt.category == FailureCategory::Cancelled; }

bool namesUntrustedRoot(const FetchOutcome& attempt) {
    return attempt.category == FailureCategory::CertUntrusted &&
           std::ranges::find(untrustedRootNames, attempt.detail) != std::end(untrustedRootNames);
}

// The labels are the updater's own names for its connection settings.
std::u16string_view modeLabel(ConnectionMode mode) {
    return mode == ConnectionMode::Ipv4Only ? u"直连：IPv4 优先，失败自动切换" : u"直连：系统自动选择 IPv4/IPv6";
}

std::u16string withClosing(std::u16string_view text) {
    std::u16string advice(text);
    advice += closingParagraph;
    return advice;
}

std::u16string oneModeWorkedAdvice(ConnectionMode workingMode) {
    std::u16string advice(oneModeWorkedOpening);
    advice += modeLabel(workingMode);
    advice += oneModeWorkedClosing;
    advice += closingParagraph;
    return advice;
}

std::u16string_view httpStatusAdvice(std::int32_t status) {
    if (status == 404 || status == 410) return httpMissingAdvice;
    if (status == 401 || status == 403 || status == 407) return httpRefusedAdvice;
    if (status == 429 || status >= 500) return httpUnavailableAdvice;
    if (status >= 300 && status <= 399) return httpRedirectAdvice;
    return httpOtherAdvice;
}

// The advice for a decisive attempt that needs the closing paragraph.
std::u16string_view findingAdvice(const FetchOutcome& decisive) {
    switch (decisive.category) {
    case FailureCategory::CertTimeInvalid: return timeInvalidAdvice;
    case FailureCategory::CertUntrusted: return untrustedAdvice;
    case FailureCategory::CertRevoked: return revokedAdvice;
    case FailureCategory::RevocationUnknown: return revocationUnknownAdvice;
    case FailureCategory::CertNameMismatch: return nameMismatchAdvice;
    case FailureCategory::DnsFailed:
    case FailureCategory::ConnectFailed:
    case FailureCategory::Timeout: return unreachableAdvice;
    case FailureCategory::HttpStatus: return httpStatusAdvice(decisive.httpStatus);
    case FailureCategory::TransferIncomplete: return transferIncompleteAdvice;
    case FailureCategory::ManifestInvalid:
    case FailureCategory::SignatureInvalid: return manifestRejectedAdvice;
    case FailureCategory::CertOther:
    case FailureCategory::TlsOther:
    case FailureCategory::Unknown:
    case FailureCategory::Ok:
    case FailureCategory::Cancelled: break;
    }
    // Also any value outside the enumeration, as a damaged summary could carry.
    return noSpecificCauseAdvice;
}

}  // namespace

std::optional<AdviceIdentity> identifyAdvice(std::u16string_view text) {
    // Each advice is compared with the text its writer gives.
    for (const ConnectionMode mode : {ConnectionMode::Ipv4Only, ConnectionMode::SystemChosen})
        if (text == oneModeWorkedAdvice(mode)) return AdviceIdentity{AdviceKind::OneModeWorked, mode};
    for (const CataloguedAdvice& advice : catalogue)
        if (advice.kind != AdviceKind::OneModeWorked &&
            text == (advice.closing ? withClosing(advice.text) : std::u16string(advice.text)))
            return AdviceIdentity{advice.kind};
    return std::nullopt;
}

std::string_view adviceName(AdviceKind kind) { return cataloguedAdvice(kind).name; }

int adviceRule(AdviceKind kind) { return cataloguedAdvice(kind).rule; }

int categoryPriority(FailureCategory category) {
    switch (category) {
    case FailureCategory::CertRevoked: return 0;
    case FailureCategory::CertNameMismatch: return 1;
    case FailureCategory::SignatureInvalid: return 2;
    case FailureCategory::CertTimeInvalid: return 3;
    case FailureCategory::CertUntrusted: return 4;
    case FailureCategory::CertOther: return 5;
    case FailureCategory::RevocationUnknown: return 6;
    case FailureCategory::TlsOther: return 7;
    case FailureCategory::ManifestInvalid: return 8;
    case FailureCategory::HttpStatus: return 20;
    case FailureCategory::TransferIncomplete: return 21;
    case FailureCategory::DnsFailed: return 22;
    case FailureCategory::ConnectFailed: return 23;
    case FailureCategory::Timeout: return 24;
    case FailureCategory::Ok: return 100;
    case FailureCategory::Cancelled:
    case FailureCategory::Unknown: break;
    }
    // Also any value outside the enumeration.
    return 30;
}

const FetchOutcome* decisiveAttempt(std::span<const FetchOutcome> attempts) {
    const FetchOutcome* decisive = nullptr;
    for (const FetchOutcome& attempt : attempts) {
        if (decisive == nullptr || categoryPriority(attempt.category) < categoryPriority(decisive->category))
            decisive = &attempt;
    }
    return decisive;
}

std::u16string selectAdvice(std::span<const FetchOutcome> attempts) {
    if (attempts.size() != modesPerRun) return std::u16string(incompleteAdvice);
    if (std::ranges::any_of(attempts, isCancelled)) return std::u16string(cancelledAdvice);
    if (std::ranges::all_of(attempts, isOk)) return withClosing(allOkAdvice);
    const FetchOutcome& decisive = *decisiveAttempt(attempts);
    const auto worked = std::ranges::find_if(attempts, isOk);
    // One mode worked and the other only failed at network level: the updater's other setting is
    // the remedy. A certificate, TLS or manifest finding in either mode outweighs that.
    if (worked != attempts.end() && categoryPriority(decisive.category) >= firstNetworkLevelPriority)
        return oneModeWorkedAdvice(worked->mode);
    // The untrusted-root evidence may come from either mode, even when the decisive attempt only
    // saw an incomplete chain.
    if (decisive.category == FailureCategory::CertUntrusted && std::ranges::any_of(attempts, namesUntrustedRoot))
        return std::u16string(untrustedRootAdvice);
    return withClosing(findingAdvice(decisive));
}

bool showTimeSettings(std::span<const FetchOutcome> attempts) {
    if (attempts.size() != modesPerRun || std::ranges::any_of(attempts, isCancelled)) return false;
    return decisiveAttempt(attempts)->category == FailureCategory::CertTimeInvalid;
}

}  // namespace veskcheck
