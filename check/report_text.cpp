#include "check/report_text.h"

#include <cstdint>

#include "check/report_words.h"
#include "common/ascii_text.h"
#include "common/decimal_text.h"
#include "common/joined_text.h"
#include "tool_version.h"

namespace veskcheck {
namespace {

namespace words = reportWords;

std::u16string signedDecimal(std::int32_t value) {
    if (value >= 0) return decimalText(static_cast<std::uint32_t>(value));
    // Negate in unsigned arithmetic so that the smallest value has a magnitude too.
    return u"-" + decimalText(0u - static_cast<std::uint32_t>(value));
}

// Any mode byte but zero is the IPv4-only mode.
bool isIpv4Only(ConnectionMode mode) { return mode != ConnectionMode::SystemChosen; }

std::u16string_view diagnosticModeWord(ConnectionMode mode) {
    return isIpv4Only(mode) ? words::ipv4Diagnostic : words::systemChosenDiagnostic;
}

std::u16string_view classificationModeWord(ConnectionMode mode) {
    return isIpv4Only(mode) ? words::ipv4Classification : words::systemChosenClassification;
}

std::u16string_view certificateWord(const FetchOutcome& fetch) {
    return fetch.detail.empty() ? words::noCertificateWord : std::u16string_view(fetch.detail);
}

// Each line followed by its line break.
template <typename Lines>
std::u16string linesOf(const Lines& lines) {
    std::u16string text;
    for (const std::u16string_view line : lines) text += joined({line, words::lineBreak});
    return text;
}

}  // namespace

std::u16string headerLine() {
    return joined({words::headerStart, toolVersion, words::headerUpdater, words::updaterVersion, words::headerEnd,
                   words::lineBreak});
}

std::u16string timeLines(std::u16string_view utcStamp, std::u16string_view localStamp) {
    return joined({words::startTime, utcStamp, words::lineBreak, words::computerTime, localStamp, words::lineBreak});
}

std::u16string systemLine(std::u16string_view systemDescription) {
    return joined({words::system, systemDescription, words::lineBreak});
}

std::u16string compatibilityLine(std::u16string_view wineVersion) {
    return joined({words::compatibility, words::wine, wineVersion, words::lineBreak});
}

std::u16string scopeBlock(std::u16string_view cdnHost) {
    return joined({words::target, cdnHost, words::targetEnd, words::lineBreak}) + linesOf(words::scopeLines);
}

// libcurl's version texts are ASCII; each byte becomes one unit.
std::u16string componentLine(std::string_view libcurlVersion, std::string_view tlsBackend) {
    return joined({words::component, widenedAscii(libcurlVersion), words::componentSeparator, widenedAscii(tlsBackend),
                   words::lineBreak});
}

std::u16string internalErrorLine() { return joined({words::internalError, words::lineBreak}); }

std::u16string adviceSection(std::u16string_view advice) {
    return joined({words::lineBreak, words::adviceHeading, words::lineBreak, advice, words::lineBreak, words::lineBreak,
                   words::diagnosticsHeading, words::lineBreak});
}

std::u16string diagnosticLine(const FetchOutcome& fetch) {
    return joined({diagnosticModeWord(fetch.mode),
                   words::targetLabel,
                   fetch.target,
                   words::curlLabel,
                   decimalText(static_cast<std::uint32_t>(fetch.curlCode)),
                   words::httpLabel,
                   signedDecimal(fetch.httpStatus),
                   words::elapsedLabel,
                   decimalText(fetch.elapsedMs),
                   words::phasesLabel,
                   decimalText(static_cast<std::uint64_t>(fetch.dnsMs)),
                   words::phaseSeparator,
                   decimalText(static_cast<std::uint64_t>(fetch.connectMs)),
                   words::phaseSeparator,
                   decimalText(static_cast<std::uint64_t>(fetch.tlsMs)),
                   words::peerLabel,
                   fetch.peerIp,
                   words::certificateLabel,
                   certificateWord(fetch),
                   words::lineBreak});
}

std::u16string certificateHeading() { return joined({words::lineBreak, words::certificateHeading, words::lineBreak}); }

std::u16string addressHeading(std::u16string_view peerIp, std::u16string_view cdnHost) {
    return joined({words::addressHeading, peerIp, words::addressHostSeparator, cdnHost, words::lineBreak});
}

std::u16string certificateCheckCancelledLine() { return joined({words::certificateCheckCancelled, words::lineBreak}); }

std::u16string noAddressLine() { return joined({words::noAddress, words::lineBreak}); }

std::u16string finalClassificationLine(const FetchOutcome& attempt) {
    return joined({classificationModeWord(attempt.mode), words::classificationLabel,
                   signedDecimal(static_cast<std::int32_t>(attempt.category)), words::detailSeparator, attempt.detail,
                   words::lineBreak});
}

std::u16string footer() { return std::u16string(words::lineBreak) + linesOf(words::footerLines); }

}  // namespace veskcheck
