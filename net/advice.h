#pragma once

#include <span>
#include <string>

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

// Whether the window offers the button that opens the date and time settings: only after a
// complete, uncancelled run whose decisive finding was the certificate validity period.
bool showTimeSettings(std::span<const FetchOutcome> attempts);

}  // namespace veskcheck
