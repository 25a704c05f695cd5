#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "net/fetch_outcome.h"

namespace veskcheck {

// How telling a category is for the player; a lower number is more telling. Numbers below 20 are
// findings about certificates, TLS and the manifest; 20 and up are network-level failures and the
// catch-all categories; Ok is 100.
int categoryPriority(FailureCategory category);

// The attempt that decides the advice: the first one with the lowest priority number, so on a tie
// the earlier mode (Ipv4Only) stays. Null for an empty list.
const FetchOutcome* decisiveAttempt(std::span<const FetchOutcome> attempts);

// The advice for the player from the per-mode summaries of one run, Ipv4Only first.
std::u16string selectAdvice(std::span<const FetchOutcome> attempts);

// Every advice selectAdvice can give, as the reader of submitted reports names it.
enum class AdviceKind : std::uint8_t {
    Incomplete,
    Cancelled,
    AllOk,
    OneModeWorked,
    TimeInvalid,
    UntrustedRoot,
    Untrusted,
    Revoked,
    RevocationUnknown,
    NameMismatch,
    Unreachable,
    HttpMissing,
    HttpRefused,
    HttpUnavailable,
    HttpRedirect,
    HttpOther,
    TransferIncomplete,
    ManifestRejected,
    NoSpecificCause,
};

struct AdviceIdentity {
    AdviceKind kind = AdviceKind::NoSpecificCause;
    ConnectionMode workingMode = ConnectionMode::SystemChosen;  // the mode the one-mode-worked advice names
};

// Which advice `text` is, exactly as selectAdvice writes it; nothing for any other text.
std::optional<AdviceIdentity> identifyAdvice(std::u16string_view text);

// The advice's name in the reader's output ("all-ok", "one-mode-worked", "time-invalid", ...), and
// the rule of selectAdvice that gives it (1 to 5).
std::string_view adviceName(AdviceKind kind);
int adviceRule(AdviceKind kind);

// Whether the window offers the button that opens the date and time settings: only after a
// complete, uncancelled run whose decisive finding was the certificate validity period.
bool showTimeSettings(std::span<const FetchOutcome> attempts);

}  // namespace veskcheck
