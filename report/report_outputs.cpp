#include "report/report_outputs.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "certpath/chain_words.h"
#include "check/report_words.h"
#include "common/utf8_encode.h"
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

// The median of the values; nothing for none.
std::optional<std::uint64_t> median(std::vector<std::uint64_t> values) {
    if (values.empty()) return std::nullopt;
    std::ranges::nth_element(values, values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2));
    return values[values.size() / 2];
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

using Counts = std::map<std::string, std::size_t>;

// The counts, most frequent first (ties in label order).
Tally tallyOf(std::string heading, const Counts& counts) {
    Tally tally{std::move(heading), {counts.begin(), counts.end()}};
    std::ranges::stable_sort(tally.rows, [](const auto& a, const auto& b) { return a.second > b.second; });
    return tally;
}

}  // namespace

std::string fileName(const std::filesystem::path& file) {
    const std::u8string name = file.u8string();
    return {name.begin(), name.end()};
}

std::string terminalSafe(std::string_view utf8) {
    constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string safe;
    safe.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        // U+202A to U+202E and U+2066 to U+2069 are E2 80 AA..AE and E2 81 A6..A9 in UTF-8.
        const bool reorders =
            byte == 0xE2 && at + 2 < utf8.size() &&
            ((static_cast<unsigned char>(utf8[at + 1]) == 0x80 && static_cast<unsigned char>(utf8[at + 2]) >= 0xAA &&
              static_cast<unsigned char>(utf8[at + 2]) <= 0xAE) ||
             (static_cast<unsigned char>(utf8[at + 1]) == 0x81 && static_cast<unsigned char>(utf8[at + 2]) >= 0xA6 &&
              static_cast<unsigned char>(utf8[at + 2]) <= 0xA9));
        if (reorders) {
            safe += replacement;
            at += 2;
        } else if (byte < 0x20 || byte == 0x7F) {
            safe += replacement;
        } else {
            safe += static_cast<char>(byte);
        }
    }
    return safe;
}

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
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Summary summarise(const std::vector<ReadReport>& reports) {
    Counts categoryPairs, advices, systems, curlErrors, untrustedRoots, wine;
    std::map<std::string, std::vector<std::uint64_t>> fetchTimes;
    for (const ReadReport& report : reports) {
        const ReportRecord& r = report.record;
        ++categoryPairs[categoriesText(r)];
        ++advices[adviceText(r)];
        ++systems[systemText(r)];
        ++wine[r.wineVersion ? "Wine " + utf8FromUtf16(*r.wineVersion) + " (TLS does not judge certificates)" : "none"];
        for (const Diagnostic& d : r.diagnostics) {
            if (d.curlCode != 0) ++curlErrors[curlCodeName(d.curlCode)];
            fetchTimes[modeName(d.mode)].push_back(d.elapsedMs);
        }
        for (const std::u16string& issuer : untrustedRootIssuers(r)) ++untrustedRoots[utf8FromUtf16(issuer)];
    }
    Summary summary{reports.size(), {}, {}};
    for (const auto& [heading, counts] : {std::pair{"final categories (IPv4/system-chosen)", &categoryPairs},
                                          {"advice", &advices},
                                          {"systems", &systems},
                                          {"compatibility layer", &wine},
                                          {"libcurl errors", &curlErrors},
                                          {"untrusted root issuers", &untrustedRoots}})
        summary.tallies.push_back(tallyOf(heading, *counts));
    for (const auto& [mode, times] : fetchTimes) summary.fetchTimes.push_back({mode, *median(times), times.size()});
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
