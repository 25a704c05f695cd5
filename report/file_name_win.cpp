#include "report/file_name.h"

#include "common/utf8_encode.h"
#include "common/win_text.h"

namespace veskreport {

// path::u8string() throws on a lone surrogate; the name's own UTF-16 units convert with
// replacement instead.
std::string fileName(const std::filesystem::path& file) {
    const std::wstring& name = file.native();
    return veskcheck::utf8FromUtf16({reinterpret_cast<const char16_t*>(name.data()), name.size()});
}

}  // namespace veskreport
