#pragma once

#include <span>
#include <string_view>

#include "patch/manifest.h"

namespace veskoracle {

// The manifest rules as the reader that builds a UTF-16 tree of the whole document applies them.
veskpatch::Manifest parseManifest(std::span<const unsigned char> bytes);
void checkFileUrl(std::u16string_view url);

}  // namespace veskoracle
