#pragma once

#include <cstdint>
#include <string>

namespace veskcheck {

// How one step of the certificate path inspection failed. Thrown by value inside the probe and
// the chain analysis and caught only by probeCertificatePath, which turns it into the report line;
// it deliberately does not derive from std::exception so that no other handler takes it.
struct Failure {
    const char16_t* step;  // a literal with static lifetime
    std::uint32_t code;
};

// "0x" and exactly eight upper-case hexadecimal digits; a negative status shows as its 32-bit
// two's-complement value.
std::u16string statusCodeText(std::uint32_t code);

}  // namespace veskcheck
