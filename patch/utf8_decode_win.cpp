#include "patch/utf8_decode.h"

#include <windows.h>

#include <limits>

#include "common/win_text.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr char invalidUtf8Message[] = "JSON 不是有效的 UTF-8。";

// The length of the bytes as the call takes it; a length it cannot take fails like a refused
// conversion, before any room is made for it.
int byteCount(std::span<const unsigned char> bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) throw PatchError(invalidUtf8Message);
    return static_cast<int>(bytes.size());
}

// Converts into `out`, `room` units, or only measures the text when `out` is null; answers the
// length in UTF-16 units. The call refuses any ill-formed sequence.
int convert(std::span<const unsigned char> bytes, wchar_t* out, int room) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                                           byteCount(bytes), out, room);
    if (length <= 0) throw PatchError(invalidUtf8Message);
    return length;
}

}  // namespace

void checkUtf8Strict(std::span<const unsigned char> bytes) {
    if (!bytes.empty()) convert(bytes, nullptr, 0);
}

void decodeUtf8Strict(std::span<const unsigned char> bytes, std::u16string& text) {
    // A zero-length conversion reports failure, so the empty text is answered here.
    text.clear();
    if (bytes.empty()) return;
    // A text has no more UTF-16 units than UTF-8 bytes: one call converts into room for that many.
    const int room = byteCount(bytes);
    text.resize(static_cast<std::size_t>(room));
    text.resize(static_cast<std::size_t>(convert(bytes, veskcheck::wideBuffer(text), room)));
}

}  // namespace veskpatch
