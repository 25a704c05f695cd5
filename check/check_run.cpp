#include "check/check_run.h"

#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "check/report_text.h"
#include "common/ascii_text.h"
#include "net/advice.h"
#include "net/fetch.h"

namespace veskcheck {
namespace {

constexpr ConnectionMode modesInOrder[] = {ConnectionMode::Ipv4Only, ConnectionMode::SystemChosen};
constexpr std::uint16_t probePort = 443;

using Bytes = std::vector<unsigned char>;

// Holds libcurl's global initialisation (and with it Winsock, which the probe uses) from start()
// to the end of the run, and gives it back only if it was taken.
class CurlGlobalGuard {
public:
    explicit CurlGlobalGuard(const CheckServices& services) : services_(services) {}
    CurlGlobalGuard(const CurlGlobalGuard&) = delete;
    CurlGlobalGuard& operator=(const CurlGlobalGuard&) = delete;
    ~CurlGlobalGuard() {
        if (started_) services_.stopLibcurl();
    }
    void start() {
        started_ = services_.startLibcurl();
        if (!started_) throw std::runtime_error("curl init");
    }

private:
    const CheckServices& services_;
    bool started_ = false;
};

std::u16string openingBlock(const CheckServices& services) {
    std::u16string text = headerLine();
    text += timeLines(services.timestamp(false), services.timestamp(true));
    text += systemLine(services.systemDescription());
    if (const auto wineVersion = services.wineVersion()) text += compatibilityLine(*wineVersion);
    text += scopeBlock(widenedAscii(services.cdnHost));
    return text;
}

// Bodies are moved out before an outcome is copied into the log, so the log never holds one.
Bytes takeBody(FetchOutcome& fetch) { return std::exchange(fetch.body, {}); }

// One connection mode: the manifest, then (if that worked) the signature, then (if that worked
// too) the verification. The result is the mode's summary.
FetchOutcome checkOneMode(ConnectionMode mode, const CancelFlag& cancel, const CheckServices& services,
                          std::vector<FetchOutcome>& fetchLog) {
    const std::string origin = "https://" + services.cdnHost;
    FetchOutcome manifestFetch = services.fetch(mode, cancel, origin + "/manifest.json", manifestMaxBytes);
    const Bytes manifest = takeBody(manifestFetch);
    fetchLog.push_back(manifestFetch);
    if (manifestFetch.category != FailureCategory::Ok) return manifestFetch;

    FetchOutcome signatureFetch = services.fetch(mode, cancel, origin + "/manifest.json.sig", signatureMaxBytes);
    signatureFetch.target = u"清单签名";
    const Bytes signature = takeBody(signatureFetch);
    fetchLog.push_back(signatureFetch);
    if (signatureFetch.category != FailureCategory::Ok) return signatureFetch;

    FetchOutcome summary = std::move(manifestFetch);
    summary.category = services.verify(manifest, signature);
    summary.detail = summary.category == FailureCategory::Ok ? u"清单签名和格式通过" : u"清单签名或格式未通过";
    return summary;
}

// Each distinct address the fetches reached is probed once, in order of first appearance.
std::u16string certificateSection(const std::vector<FetchOutcome>& fetchLog, const CancelFlag& cancel,
                                  const CheckServices& services) {
    const std::u16string host = widenedAscii(services.cdnHost);
    std::u16string text = certificateHeading();
    std::set<std::u16string> inspected;
    for (const FetchOutcome& fetch : fetchLog) {
        if (cancel.load()) {
            text += certificateCheckCancelledLine();
            break;
        }
        if (fetch.peerIp.empty() || !inspected.insert(fetch.peerIp).second) continue;
        text += addressHeading(fetch.peerIp, host);
        text += services.probe(fetch.peerIp, probePort, host, cancel);
    }
    if (inspected.empty()) text += noAddressLine();
    return text;
}

}  // namespace

CheckReport runCheck(const CancelFlag& cancel, const CheckServices& services) {
    CheckReport report;
    report.reportText = openingBlock(services);
    CurlGlobalGuard libcurl(services);
    std::vector<FetchOutcome> fetchLog;
    try {
        libcurl.start();
        if (const auto components = services.libcurlComponents())
            report.reportText += componentLine(components->version, components->tlsBackend);
        for (const ConnectionMode mode : modesInOrder) {
            if (cancel.load()) break;
            report.attempts.push_back(checkOneMode(mode, cancel, services, fetchLog));
        }
    } catch (...) {
        // Whatever went wrong is reported; the run goes on with what it has, and an interrupted
        // mode leaves no summary, so the advice says the check did not complete.
        report.reportText += internalErrorLine();
    }
    report.advice = selectAdvice(report.attempts);
    report.showTimeSettings = showTimeSettings(report.attempts);
    report.reportText += adviceSection(report.advice);
    for (const FetchOutcome& fetch : fetchLog) report.reportText += diagnosticLine(fetch);
    report.reportText += certificateSection(fetchLog, cancel, services);
    for (const FetchOutcome& attempt : report.attempts) report.reportText += finalClassificationLine(attempt);
    report.reportText += footer();
    return report;
}

}  // namespace veskcheck
