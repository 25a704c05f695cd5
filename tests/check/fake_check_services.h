#pragma once

#include <functional>
#include <optional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "check/check_services.h"

namespace vesktest {

using veskcheck::CancelFlag;
using veskcheck::ConnectionMode;
using veskcheck::FailureCategory;
using veskcheck::FetchOutcome;

// A scripted world for the check run: fixed clock and system, fetch results per mode and file,
// a probe that names its address, and a record of every call made.
struct FakeWorld {
    struct Script {
        FetchOutcome outcome;
        std::function<void(CancelFlag&)> during;  // e.g. set the cancel flag, or throw
    };
    std::map<std::pair<ConnectionMode, std::string>, Script> fetches;
    FailureCategory verdict = FailureCategory::Ok;
    bool libcurlStarts = true;
    std::function<void()> duringVerify;
    std::function<void()> duringProbe;
    CancelFlag* cancel = nullptr;  // the run's flag, for scripts that cancel mid-run

    std::vector<std::string> fetchCalls;
    std::vector<std::uint32_t> fetchCaps;
    std::vector<const CancelFlag*> flagsSeen;  // the flag each fetch and probe was given
    std::vector<std::u16string> probeCalls;
    std::optional<std::u16string> wineVersion;  // the compatibility layer the run reports, if any
    int libcurlStops = 0;

    // "manifest.json" or "manifest.json.sig" of a mode answers with `outcome`.
    void answer(ConnectionMode mode, const std::string& file, FetchOutcome outcome,
                std::function<void(CancelFlag&)> during = {}) {
        outcome.mode = mode;
        fetches[{mode, file}] = {std::move(outcome), std::move(during)};
    }

    veskcheck::CheckServices services() {
        veskcheck::CheckServices s;
        s.wineVersion = [this] { return wineVersion; };
        s.cdnHost = "update.vesk.example";
        s.timestamp = [](bool local) {
            return local ? std::u16string(u"2024-05-06 15:08:09（电脑本地时间）")
                         : std::u16string(u"2024-05-06 07:08:09 UTC");
        };
        s.systemDescription = [] { return std::u16string(u"Windows 10 / x64 / 构建 19045"); };
        s.startLibcurl = [this] { return libcurlStarts; };
        s.stopLibcurl = [this] { ++libcurlStops; };
        s.libcurlComponents = [] { return std::optional<veskcheck::LibcurlComponents>({"8.23.0", "Schannel"}); };
        s.fetch = [this](ConnectionMode mode, const CancelFlag& flag, const std::string& url, std::uint32_t maxBytes) {
            const std::string file = url.substr(url.rfind('/') + 1);
            fetchCalls.push_back((mode == ConnectionMode::Ipv4Only ? "ipv4 " : "system ") + file);
            fetchCaps.push_back(maxBytes);
            flagsSeen.push_back(&flag);
            const Script& script = fetches.at({mode, file});
            if (script.during) script.during(*cancel);
            return script.outcome;
        };
        s.verify = [this](std::span<const unsigned char>, std::span<const unsigned char>) {
            if (duringVerify) duringVerify();
            return verdict;
        };
        s.probe = [this](const std::u16string& peerIp, std::uint16_t port, const std::u16string& host,
                         const CancelFlag& flag) {
            probeCalls.push_back(peerIp);
            flagsSeen.push_back(&flag);
            if (duringProbe) duringProbe();
            return u"[probe " + peerIp + u":" + std::u16string(port == 443 ? u"443" : u"?") + u" " + host + u"]\r\n";
        };
        return s;
    }
};

inline FetchOutcome fetched(std::u16string peerIp, std::string body = "x") {
    FetchOutcome outcome;
    outcome.curlCode = 0;
    outcome.httpStatus = 200;
    outcome.category = FailureCategory::Ok;
    outcome.peerIp = std::move(peerIp);
    outcome.body.assign(body.begin(), body.end());
    outcome.elapsedMs = 412;
    outcome.dnsMs = 15;
    outcome.connectMs = 48;
    outcome.tlsMs = 196;
    return outcome;
}

inline FetchOutcome failed(FailureCategory category, std::int32_t curlCode, std::int32_t httpStatus = 0,
                           std::u16string peerIp = u"", std::u16string detail = u"") {
    FetchOutcome outcome;
    outcome.curlCode = curlCode;
    outcome.httpStatus = httpStatus;
    outcome.category = category;
    outcome.peerIp = std::move(peerIp);
    outcome.detail = std::move(detail);
    return outcome;
}

}  // namespace vesktest
