#pragma once

#include <cstdint>

// The chain engine's words, named once for both platforms: the trust error bits of a chain, a path
// and a layer, and the verdicts of the SSL server policy. The OpenSSL build maps its verify errors
// onto them; the CryptoAPI build checks them against the system's own names.
namespace veskcheck::trustBits {

inline constexpr std::uint32_t notTimeValid = 0x00000001;                  // CERT_TRUST_IS_NOT_TIME_VALID
inline constexpr std::uint32_t revoked = 0x00000004;                       // CERT_TRUST_IS_REVOKED
inline constexpr std::uint32_t signatureNotValid = 0x00000008;             // CERT_TRUST_IS_NOT_SIGNATURE_VALID
inline constexpr std::uint32_t notValidForUsage = 0x00000010;              // CERT_TRUST_IS_NOT_VALID_FOR_USAGE
inline constexpr std::uint32_t untrustedRoot = 0x00000020;                 // CERT_TRUST_IS_UNTRUSTED_ROOT
inline constexpr std::uint32_t invalidExtension = 0x00000100;              // CERT_TRUST_INVALID_EXTENSION
inline constexpr std::uint32_t invalidBasicConstraints = 0x00000400;       // CERT_TRUST_INVALID_BASIC_CONSTRAINTS
inline constexpr std::uint32_t partialChain = 0x00010000;                  // CERT_TRUST_IS_PARTIAL_CHAIN
inline constexpr std::uint32_t explicitDistrust = 0x04000000;              // CERT_TRUST_IS_EXPLICIT_DISTRUST
inline constexpr std::uint32_t unsupportedCriticalExtension = 0x08000000;  // CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT

}  // namespace veskcheck::trustBits

namespace veskcheck::policyVerdicts {

inline constexpr std::uint32_t expired = 0x800B0101;        // CERT_E_EXPIRED
inline constexpr std::uint32_t role = 0x800B0103;           // CERT_E_ROLE
inline constexpr std::uint32_t critical = 0x800B0105;       // CERT_E_CRITICAL
inline constexpr std::uint32_t untrustedRoot = 0x800B0109;  // CERT_E_UNTRUSTEDROOT
inline constexpr std::uint32_t chaining = 0x800B010A;       // CERT_E_CHAINING
inline constexpr std::uint32_t failed = 0x800B010B;         // TRUST_E_FAIL
inline constexpr std::uint32_t revoked = 0x800B010C;        // CERT_E_REVOKED
inline constexpr std::uint32_t nameMismatch = 0x800B010F;   // CERT_E_CN_NO_MATCH
inline constexpr std::uint32_t wrongUsage = 0x800B0110;     // CERT_E_WRONG_USAGE
inline constexpr std::uint32_t badSignature = 0x80096004;   // TRUST_E_CERT_SIGNATURE

}  // namespace veskcheck::policyVerdicts
