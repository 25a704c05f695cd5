#include "patch/utf8_decode.h"

#include <windows.h>

#include <limits>

#include "common/win_text.h"
#include "patch/patch_error.h"

namespace veskpatch {
namespace {

constexpr char invalidUtf8Message[] = "JSON 不是有效的 UTF-8。";

}  // namespace

std::u16string decodeUtf8Strict(std::span<const unsigned char> bytes) {
    // A zero-length conversion reports failure, so the empty text is answered here.
    if (bytes.empty()) return {};
    // A length the call cannot take fails like a refused length query.
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) throw PatchError(invalidUtf8Message);
    const char* source = reinterpret_cast<const char*>(bytes.data());
    const int byteCount = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, source, byteCount, nullptr, 0);
    if (length <= 0) throw PatchError(invalidUtf8Message);
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    const int written =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, source, byteCount, veskcheck::wideBuffer(text), length);
    if (written != length) throw PatchError("JSON UTF-8 转换失败。");
    return text;
}

}  // namespace veskpatch
