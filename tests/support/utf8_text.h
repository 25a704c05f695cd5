#pragma once

#include <string>

#include "common/utf8_encode.h"

namespace vesktest {

// UTF-16 to UTF-8 for test output only (SCOPED_TRACE, failure messages, lab tools).
inline std::string toUtf8(const std::u16string& text) { return veskcheck::utf8FromUtf16(text); }

}  // namespace vesktest
