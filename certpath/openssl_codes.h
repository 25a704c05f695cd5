#pragma once

#include <cstdint>
#include <span>

namespace veskcheck {

// The chain engine's words are CryptoAPI's; these map OpenSSL's verify errors onto them so that
// a report reads the same on every platform.

// The trust status bit a verify error sets on its certificate's layer, and on the path; 0 for a
// host name mismatch, which is the policy's concern alone.
std::uint32_t trustBitOf(int verifyError);

// The SSL server policy verdict for all verify errors of one chain: the verdict of the error
// that comes first in the order expired, untrusted root, incomplete path, bad signature, wrong
// usage, revoked, bad CA, critical extension, host name, anything else; 0 without errors.
std::uint32_t policyVerdictOf(std::span<const int> verifyErrors);

// The newest error OpenSSL queued on this thread as a 32-bit code, or `fallback` when none is.
std::uint32_t lastOpenSslError(std::uint32_t fallback);

}  // namespace veskcheck
