#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace veskpatch {

// A SHA-256 output in its standard byte order.
using Sha256 = std::array<unsigned char, 32>;

// Throws PatchError when the platform cannot compute the digest.
Sha256 sha256Digest(std::span<const unsigned char> bytes);

// 64 upper-case hexadecimal digits, first byte first, high nibble first.
std::u16string sha256ToHex(const Sha256& digest);

// Accepts exactly 64 units of 0-9, a-f, A-F (cases may be mixed); throws PatchError otherwise.
Sha256 sha256FromHex(std::u16string_view text);
Sha256 sha256FromHex(std::string_view asciiText);

}  // namespace veskpatch
