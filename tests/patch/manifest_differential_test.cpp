// The manifest reader against its oracle, the reader as it stood before it was rewritten for speed:
// every seed of the differential fuzz target, and every input the fuzzer once found, must give the
// same verdict, the same message and the same Manifest from both, and checkManifest the same
// verdict and message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "oracle/manifest.h"
#include "oracle/manifest_outcome.h"

namespace {

std::vector<unsigned char> fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ManifestDifferential, TheReaderAgreesWithItsOracleOnEverySeed) {
    std::size_t read = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(VESK_DIFFERENTIAL_SEEDS)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<unsigned char> bytes = fileBytes(entry.path());
        const auto reader = vesktest::outcomeOf(veskpatch::parseManifest, bytes);
        const auto oracle = vesktest::outcomeOf(veskoracle::parseManifest, bytes);
        EXPECT_TRUE(vesktest::sameOutcome(reader, oracle))
            << entry.path().filename() << "\n  reader: " << vesktest::describe(reader)
            << "\n  oracle: " << vesktest::describe(oracle);
        const auto check = vesktest::checkOutcomeOf(bytes);
        EXPECT_TRUE(vesktest::sameVerdict(check, oracle))
            << entry.path().filename() << "\n  check: " << vesktest::describe(check)
            << "\n  oracle: " << vesktest::describe(oracle);
        ++read;
    }
    EXPECT_GE(read, 50u);
}

}  // namespace
