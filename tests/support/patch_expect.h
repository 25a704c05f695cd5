#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "patch/patch_error.h"
#include "utf8_text.h"

namespace vesktest {

// Asserts that `action` throws PatchError carrying exactly `message`.
template <typename Action>
void expectPatchError(Action&& action, const char* message) {
    try {
        action();
        ADD_FAILURE() << "expected PatchError: " << message;
    } catch (const veskpatch::PatchError& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

// The bytes of a UTF-8 literal, as the manifest code takes them.
inline std::vector<unsigned char> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace vesktest
