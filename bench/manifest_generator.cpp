#include "bench/manifest_generator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "patch/manifest.h"

namespace veskbench {
namespace {

// Texts below are JSON source text, escapes included, exactly as they stand in the document.
constexpr std::string_view header =
    R"({"schemaVersion":1,"releaseId":"2026.12.01-r3",)"
    R"("publishedAt":"2026-12-01T08:00:00+08:00 \"周年庆\"","keyId":"vesk-integrity-r2",)"
    R"("minimumUpdaterVersion":"3.2.0","launchExecutable":"Vesk.exe","files":[)"
    "\n";
constexpr std::string_view entrySeparator = ",\n";
constexpr std::string_view closing = "\n]}\n";

// One kind of game file: where it lives, how it is named and the label the updater gives it.
// Some folders spell their separators as the escapes \/ and \\ and their letters as \u escapes,
// which the reader must resolve before the path rules see them.
struct PathFamily {
    std::string_view folder;
    bool inChapters;  // one sub-folder per story chapter, named in Chinese
    std::string_view stem;
    std::string_view extension;
    std::string_view role;
};

constexpr std::array<PathFamily, 6> pathFamilies = {{
    {"data/ui/", true, "item", "pak", "ui"},
    {"data/audio/voice/zh-CN/", true, "line", "ogg", "voice"},
    {R"(data\/textures\/caf\u00e9\/)", false, "tex", "dds", R"(texture \"hd\")"},
    {R"(data\\movies\\)", false, "cut", "usm", "movie"},
    {"data/fonts/字体𠮷/", false, "glyphs", "ttf", "font"},
    {"data/maps/", true, "tile", "bin", "map"},
}};
constexpr std::uint64_t chapterCount = 60;
constexpr std::uint64_t deleteOneIn = 5;
constexpr std::size_t indexDigits = 6;

// splitmix64 with a fixed seed: the standard distributions may differ between library builds,
// plain integer arithmetic does not.
class Random {
public:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

private:
    std::uint64_t state_ = 0x5645534B42454E43;
};

void appendDecimal(std::string& out, std::uint64_t value) {
    std::array<char, 20> digits;
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

void appendZeroPadded(std::string& out, std::uint64_t value, std::size_t width) {
    std::string digits;
    appendDecimal(digits, value);
    out.append(width - std::min(width, digits.size()), '0');
    out += digits;
}

std::string randomHexDigest(Random& random) {
    constexpr std::string_view hexDigits = "0123456789abcdef";
    std::string hex;
    for (int word = 0; word < 4; ++word) {
        const std::uint64_t bits = random.next();
        for (int shift = 60; shift >= 0; shift -= 4) hex += hexDigits[(bits >> shift) & 0xF];
    }
    return hex;
}

// The index in every name keeps the targets distinct, as the updater requires.
void appendPath(std::string& out, const PathFamily& family, std::uint32_t index, Random& random) {
    out += family.folder;
    if (family.inChapters) {
        out += "第";
        appendDecimal(out, 1 + random.below(chapterCount));
        out += "章/";
    }
    out += family.stem;
    out += '_';
    appendZeroPadded(out, index, indexDigits);
    out += '.';
    out += family.extension;
}

// Files are stored on the CDN under their own digest, as a content-addressed store does. Sizes
// spread from bytes to a gigabyte so that the numbers vary in length.
void appendReplacement(std::string& out, const PathFamily& family, Random& random) {
    const std::string digest = randomHexDigest(random);
    out += R"(,"url":"files/)";
    out += std::string_view(digest).substr(0, 2);
    out += '/';
    out += std::string_view(digest).substr(2, 2);
    out += '/';
    out += digest;
    out += '.';
    out += family.extension;
    out += R"(","size":)";
    appendDecimal(out, random.below(std::uint64_t{1} << (10 + random.below(21))));
    out += R"(,"sha256":")";
    out += digest;
    out += R"(","role":")";
    out += family.role;
    out += R"("})";
}

// The JSON text of entry `index`, written into `entry` so that its buffer is reused.
void composeEntry(std::string& entry, std::uint32_t index, Random& random) {
    const PathFamily& family = pathFamilies[random.below(pathFamilies.size())];
    const bool isDelete = random.below(deleteOneIn) == 0;
    entry = isDelete ? R"({"action":"delete","path":")" : R"({"action":"replace","path":")";
    appendPath(entry, family, index, random);
    if (isDelete) {
        entry += R"("})";
    } else {
        entry += '"';
        appendReplacement(entry, family, random);
    }
}

void append(std::vector<unsigned char>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

}  // namespace

std::vector<unsigned char> generateManifest(std::size_t bytes) {
    // Reserved once, so that the document is never copied while it grows and the process's peak
    // memory reflects the parser rather than the generator.
    std::vector<unsigned char> document;
    document.reserve(bytes);
    append(document, header);
    Random random;
    std::string entry;
    for (std::uint32_t index = 0; index < veskpatch::maxFileEntries; ++index) {
        composeEntry(entry, index, random);
        const std::string_view separator = index == 0 ? std::string_view() : entrySeparator;
        if (document.size() + separator.size() + entry.size() + closing.size() > bytes) break;
        append(document, separator);
        append(document, entry);
    }
    // The gap smaller than one more entry becomes whitespace, which the reader skips like any other.
    document.resize(bytes - closing.size(), ' ');
    append(document, closing);
    return document;
}

}  // namespace veskbench
