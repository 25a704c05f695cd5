#include "report/report_outputs.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "certpath/chain_words.h"
#include "check/report_words.h"
#include "common/utf8_encode.h"
#include "report/control_characters.h"
#include "report/file_name.h"
#include "net/curl_codes.h"

namespace veskreport {
namespace {

using veskcheck::utf8FromUtf16;
using Json = nlohmann::json;

std::string modeName(Mode mode) { return mode == Mode::Ipv4Only ? "ipv4" : "system-chosen"; }

}  // namespace

std::string adviceText(const ReportRecord& record) {
    if (!record.advice) return "unrecognised";
    std::string name(veskcheck::adviceName(record.advice->kind));
    if (record.advice->kind == veskcheck::AdviceKind::OneModeWorked)
        name += " (" + modeName(record.advice->workingMode) + ")";
    return name;
}

std::string categoriesText(const ReportRecord& record) {
    std::string text;
    for (const Classification& c : record.classifications)
        text += (text.empty() ? "" : "/") + std::to_string(c.category);
    return text.empty() ? "-" : text;
}

std::string systemText(const ReportRecord& record) {
    if (!record.build) return utf8FromUtf16(record.system);
    return utf8FromUtf16(record.windowsVersion) + " " + utf8FromUtf16(record.architecture);
}

namespace {

Json optionalText(const std::optional<std::u16string>& text) {
    return text ? Json(utf8FromUtf16(*text)) : Json(nullptr);
}

Json diagnosticJson(const Diagnostic& d) {
    return {{"mode", modeName(d.mode)},
            {"target", utf8FromUtf16(d.target)},
            {"curl", d.curlCode},
            {"http", d.httpStatus},
            {"elapsed_ms", d.elapsedMs},
            {"dns_ms", d.dnsMs},
            {"connect_ms", d.connectMs},
            {"tls_ms", d.tlsMs},
            {"peer", utf8FromUtf16(d.peer)},
            {"certificate_word", utf8FromUtf16(d.certificateWord)}};
}

Json certificateJson(const CertificateCheck& check) {
    Json paths = Json::array();
    for (const ChainPath& path : check.paths) {
        Json layers = Json::array();
        for (const ChainLayer& layer : path.layers)
            layers.push_back({{"subject", utf8FromUtf16(layer.subject)},
                              {"issuer", utf8FromUtf16(layer.issuer)},
                              {"status", utf8FromUtf16(layer.status)},
                              {"sha256", utf8FromUtf16(layer.fingerprint)}});
        paths.push_back({{"status", utf8FromUtf16(path.status)}, {"layers", layers}, {"more_layers", path.moreLayers}});
    }
    Json json = {{"peer", utf8FromUtf16(check.peer)}, {"host", utf8FromUtf16(check.host)}};
    if (check.failedStep.empty()) {
        json["overall_status"] = utf8FromUtf16(check.overallStatus);
        json["policy_verdict"] = utf8FromUtf16(check.policyVerdict);
        json["paths"] = paths;
    } else {
        json["failed_step"] = utf8FromUtf16(check.failedStep);
        json["failure_code"] = check.failureCode.empty() ? Json(nullptr) : Json(utf8FromUtf16(check.failureCode));
    }
    return json;
}

// The value in the middle of `total` counted values (the upper one of two), as sorting them all
// and taking the one at total / 2 would give.
std::uint64_t median(const std::map<std::uint64_t, std::size_t>& fetchesPerTime, std::size_t total) {
    std::size_t seen = 0;
    for (const auto& [time, fetches] : fetchesPerTime) {
        seen += fetches;
        if (seen > total / 2) return time;
    }
    return 0;
}

// The names libcurl gives the result codes the diagnosis meets; others by number.
std::string curlCodeName(std::uint32_t code) {
    static const std::map<std::uint32_t, std::string> names = {
        {veskcheck::curlOk, "CURLE_OK"},
        {veskcheck::curlCouldntResolveHost, "CURLE_COULDNT_RESOLVE_HOST"},
        {veskcheck::curlCouldntConnect, "CURLE_COULDNT_CONNECT"},
        {veskcheck::curlPartialFile, "CURLE_PARTIAL_FILE"},
        {veskcheck::curlOperationTimedOut, "CURLE_OPERATION_TIMEDOUT"},
        {veskcheck::curlSslConnectError, "CURLE_SSL_CONNECT_ERROR"},
        {veskcheck::curlAbortedByCallback, "CURLE_ABORTED_BY_CALLBACK"},
        {veskcheck::curlGotNothing, "CURLE_GOT_NOTHING"},
        {veskcheck::curlSendError, "CURLE_SEND_ERROR"},
        {veskcheck::curlRecvError, "CURLE_RECV_ERROR"},
        {veskcheck::curlSslCertProblem, "CURLE_SSL_CERTPROBLEM"},
        {veskcheck::curlPeerFailedVerification, "CURLE_PEER_FAILED_VERIFICATION"},
        {veskcheck::curlFileSizeExceeded, "CURLE_FILESIZE_EXCEEDED"},
        {veskcheck::curlSslCacertBadFile, "CURLE_SSL_CACERT_BADFILE"},
        {veskcheck::curlSslIssuerError, "CURLE_SSL_ISSUER_ERROR"},
    };
    const auto found = names.find(code);
    return found != names.end() ? found->second : "curl code " + std::to_string(code);
}

// The counts, most frequent first (ties in label order).
Tally tallyOf(std::string heading, const std::map<std::string, std::size_t>& counts) {
    Tally tally{std::move(heading), {counts.begin(), counts.end()}};
    std::ranges::stable_sort(tally.rows, [](const auto& a, const auto& b) { return a.second > b.second; });
    return tally;
}

}  // namespace

std::vector<std::u16string> untrustedRootIssuers(const ReportRecord& record) {
    std::vector<std::u16string> issuers;
    for (const CertificateCheck& check : record.certificateChecks)
        for (const ChainPath& path : check.paths)
            if (path.status.find(veskcheck::chainWords::untrustedRoot) != std::u16string::npos && !path.layers.empty())
                issuers.push_back(path.layers.back().issuer);
    return issuers;
}

std::string reportLine(const ReadReport& report) {
    const ReportRecord& record = report.record;
    std::string line = fileName(report.file) + ": categories " + categoriesText(record) + "; advice " +
                       adviceText(record) + "; " + systemText(record);
    for (const std::u16string& issuer : untrustedRootIssuers(record))
        line += "; untrusted root " + utf8FromUtf16(issuer);
    if (record.wineVersion)
        line += "; under Wine " + utf8FromUtf16(*record.wineVersion) + " (its TLS does not judge certificates)";
    if (record.internalError) line += "; internal error";
    return terminalSafe(line);
}

std::string reportJson(const ReadReport& report) {
    const ReportRecord& r = report.record;
    Json diagnostics = Json::array();
    for (const Diagnostic& d : r.diagnostics) diagnostics.push_back(diagnosticJson(d));
    Json certificates = Json::array();
    for (const CertificateCheck& check : r.certificateChecks) certificates.push_back(certificateJson(check));
    Json classifications = Json::array();
    for (const Classification& c : r.classifications)
        classifications.push_back(
            {{"mode", modeName(c.mode)}, {"category", c.category}, {"detail", utf8FromUtf16(c.detail)}});
    Json advice = {{"name", adviceText(r)}, {"rule", r.advice ? Json(veskcheck::adviceRule(r.advice->kind)) : Json()}};
    const Json json = {
        {"version", jsonLayoutVersion},
        {"file", fileName(report.file)},
        {"tool_version", utf8FromUtf16(r.toolVersion)},
        {"updater_version", utf8FromUtf16(r.updaterVersion)},
        {"start_utc", utf8FromUtf16(r.startUtc)},
        {"computer_time", utf8FromUtf16(r.computerTime)},
        {"computer_offset_seconds", r.computerOffsetSeconds ? Json(*r.computerOffsetSeconds) : Json()},
        {"system", utf8FromUtf16(r.system)},
        {"windows_version", r.build ? Json(utf8FromUtf16(r.windowsVersion)) : Json()},
        {"architecture", r.build ? Json(utf8FromUtf16(r.architecture)) : Json()},
        {"build", r.build ? Json(*r.build) : Json()},
        {"wine_version", optionalText(r.wineVersion)},
        {"host", utf8FromUtf16(r.host)},
        {"libcurl", optionalText(r.libcurlVersion)},
        {"tls_backend", optionalText(r.tlsBackend)},
        {"internal_error", r.internalError},
        {"advice", advice},
        {"diagnostics", diagnostics},
        {"certificate_checks", certificates},
        {"certificate_check_cancelled", r.certificateCheckCancelled},
        {"no_address", r.noAddress},
        {"classifications", classifications},
    };
    return withControlsEscaped(json.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void Summariser::add(const ReportRecord& r) {
    ++reports_;
    ++categoryPairs_[categoriesText(r)];
    ++advices_[adviceText(r)];
    ++systems_[systemText(r)];
    ++wine_[r.wineVersion ? "Wine " + utf8FromUtf16(*r.wineVersion) + " (TLS does not judge certificates)" : "none"];
    for (const Diagnostic& d : r.diagnostics) {
        if (d.curlCode != 0) ++curlErrors_[curlCodeName(d.curlCode)];
        ++fetchTimes_[modeName(d.mode)][d.elapsedMs];
    }
    for (const std::u16string& issuer : untrustedRootIssuers(r)) ++untrustedRoots_[utf8FromUtf16(issuer)];
}

Summary Summariser::summary() const {
    Summary summary{reports_, {}, {}};
    for (const auto& [heading, counts] : {std::pair{"final categories (IPv4/system-chosen)", &categoryPairs_},
                                          {"advice", &advices_},
                                          {"systems", &systems_},
                                          {"compatibility layer", &wine_},
                                          {"libcurl errors", &curlErrors_},
                                          {"untrusted root issuers", &untrustedRoots_}})
        summary.tallies.push_back(tallyOf(heading, *counts));
    for (const auto& [mode, fetchesPerTime] : fetchTimes_) {
        std::size_t fetches = 0;
        for (const auto& entry : fetchesPerTime) fetches += entry.second;
        summary.fetchTimes.push_back({mode, median(fetchesPerTime, fetches), fetches});
    }
    return summary;
}

std::string summaryText(const Summary& summary) {
    std::string out = "reports: " + std::to_string(summary.reports) + "\n";
    for (const Tally& tally : summary.tallies) {
        out += tally.heading + ":\n";
        for (const auto& [label, count] : tally.rows)
            out += "  " + std::to_string(count) + "  " + terminalSafe(label) + "\n";
    }
    out += "median fetch time:\n";
    for (const FetchTime& time : summary.fetchTimes)
        out += "  " + time.mode + " " + std::to_string(time.medianMs) + " ms over " + std::to_string(time.fetches) +
               " fetches\n";
    return out;
}

}  // namespace veskreport
