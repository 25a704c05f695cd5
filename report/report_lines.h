#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace veskreport {

// The largest file taken for a report; a report is a few kilobytes.
inline constexpr std::size_t maxReportBytes = 1048576;

// Why some bytes cannot be a report, in one line.
struct Refusal {
    std::string reason;
};

// The lines of a report file, as the program writes it (UTF-16LE with a byte-order mark, CR LF)
// or as a copied report pasted into a web form and stored as UTF-8 (with or without a byte-order
// mark, CR LF or LF). The final line break may be missing.
std::variant<std::vector<std::u16string>, Refusal> reportLines(std::span<const unsigned char> bytes);

}  // namespace veskreport
