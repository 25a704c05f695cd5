#include "report/report_lines.h"

#include <algorithm>
#include <string_view>

#include "patch/patch_error.h"
#include "patch/utf8_decode.h"

namespace veskreport {
namespace {

constexpr unsigned char utf16ByteOrderMark[] = {0xFF, 0xFE};
constexpr unsigned char utf8ByteOrderMark[] = {0xEF, 0xBB, 0xBF};

bool startsWith(std::span<const unsigned char> bytes, std::span<const unsigned char> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::u16string fromUtf16Le(std::span<const unsigned char> bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

// CR LF throughout, or LF throughout; a CR that is not part of CR LF, or a mix, is no report.
std::variant<std::vector<std::u16string>, Refusal> splitLines(std::u16string_view text) {
    const bool crLf = text.find(u'\r') != std::u16string_view::npos;
    const std::u16string_view lineBreak = crLf ? std::u16string_view(u"\r\n") : std::u16string_view(u"\n");
    std::vector<std::u16string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(lineBreak, start);
        const std::u16string_view line = text.substr(start, end - start);
        if (line.find_first_of(u"\r\n") != std::u16string_view::npos)
            return Refusal{"its line breaks are neither CR LF throughout nor LF throughout"};
        lines.emplace_back(line);
        if (end == std::u16string_view::npos) break;
        start = end + lineBreak.size();
    }
    if (lines.back().empty()) lines.pop_back();  // the text ended with its last line break
    return lines;
}

}  // namespace

std::variant<std::vector<std::u16string>, Refusal> reportLines(std::span<const unsigned char> bytes) {
    if (bytes.size() > maxReportBytes) return Refusal{"it is larger than 1 MiB"};
    if (startsWith(bytes, utf16ByteOrderMark)) {
        if (bytes.size() % 2 != 0) return Refusal{"it is UTF-16 text of an odd number of bytes"};
        return splitLines(fromUtf16Le(bytes.subspan(2)));
    }
    if (startsWith(bytes, utf8ByteOrderMark)) bytes = bytes.subspan(3);
    try {
        return splitLines(veskpatch::decodeUtf8Strict(bytes));
    } catch (const veskpatch::PatchError&) {
        return Refusal{"it is neither UTF-16LE text with a byte-order mark nor UTF-8 text"};
    }
}

}  // namespace veskreport
