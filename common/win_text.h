#pragma once

// The one place where UTF-16 text crosses into the Win32 wide-character API: wchar_t is 16 bits
// on Windows, so the two views share the same units.
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

namespace veskcheck {

inline const wchar_t* wideText(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

inline wchar_t* wideBuffer(std::u16string& text) { return reinterpret_cast<wchar_t*>(text.data()); }

inline std::u16string fromWide(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

}  // namespace veskcheck
