#pragma once

#include <optional>
#include <span>

namespace veskbench {

// The time the best general JSON parser takes for the same bytes, plus a SHA-256 of them: a DOM
// parse with a fresh parser and one digest, in milliseconds (median of the runs). The yardstick
// for verifyManifest, which also reads every byte and hashes them. Only the native build carries
// that parser; elsewhere there is no anchor and the caller passes the native figure in.
std::optional<double> anchorMilliseconds(std::span<const unsigned char> document, int runs);

}  // namespace veskbench
