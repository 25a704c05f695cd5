#include "patch/utf8_decode.h"

#include <windows.h>

#include <limits>

#include "common/win_text.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr char invalidUtf8Message[] = "JSON 不是有效的 UTF-8。";

// The length of the text in UTF-16 units; the call refuses any ill-formed sequence.
int utf16Length(std::span<const unsigned char> bytes) {
    // A length the call cannot take fails like a refused length query.
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) throw PatchError(invalidUtf8Message);
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) throw PatchError(invalidUtf8Message);
    return length;
}

}  // namespace

void checkUtf8Strict(std::span<const unsigned char> bytes) {
    if (!bytes.empty()) utf16Length(bytes);
}

void decodeUtf8Strict(std::span<const unsigned char> bytes, std::u16string& text) {
    // A zero-length conversion reports failure, so the empty text is answered here.
    text.clear();
    if (bytes.empty()) return;
    const int length = utf16Length(bytes);
    text.resize(static_cast<std::size_t>(length));
    const int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<int>(bytes.size()), veskcheck::wideBuffer(text), length);
    if (written != length) throw PatchError("JSON UTF-8 转换失败。");
}

}  // namespace veskpatch
