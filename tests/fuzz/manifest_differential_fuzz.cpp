// Arbitrary bytes to the manifest reader and to its oracle, the reader as it stood before it was
// rewritten for speed: both must accept the same bytes into the same Manifest, or refuse them with
// the same message, and checkManifest must give the same verdict. A difference prints both sides
// and aborts, so libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "oracle/manifest.h"
#include "oracle/manifest_outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    const auto reader = vesktest::outcomeOf(veskpatch::parseManifest, bytes);
    const auto oracle = vesktest::outcomeOf(veskoracle::parseManifest, bytes);
    const auto check = vesktest::checkOutcomeOf(bytes);
    if (!vesktest::sameOutcome(reader, oracle) || !vesktest::sameVerdict(check, oracle)) {
        std::fprintf(stderr, "reader: %s\ncheck: %s\noracle: %s\n", vesktest::describe(reader).c_str(),
                     vesktest::describe(check).c_str(), vesktest::describe(oracle).c_str());
        std::abort();
    }
    return 0;
}
