#include <gtest/gtest.h>

#include <vector>

#include "patch/signature.h"
#include "test_data.h"

using veskpatch::verifyManifestSignature;
using vesktest::readTestFile;

namespace {

using Bytes = std::vector<unsigned char>;

// A manifest signed at test-writing time with tests/keys/manifest-test.key.pem
// (openssl dgst -sha256 -sign), the key pair the test build embeds.
struct SignedSample : ::testing::Test {
    Bytes manifest = readTestFile("signature-sample.json");
    Bytes signature = readTestFile("signature-sample.json.sig");
};

}  // namespace

TEST_F(SignedSample, VerifiesUnderTheBuiltInKey) {
    ASSERT_EQ(signature.size(), 384u);
    EXPECT_TRUE(verifyManifestSignature(manifest, signature));
}

TEST_F(SignedSample, RefusesAnyChangeToTheManifestBytes) {
    Bytes flipped = manifest;
    flipped[10] ^= 0x01;
    Bytes withBom = {0xEF, 0xBB, 0xBF};
    withBom.insert(withBom.end(), manifest.begin(), manifest.end());
    Bytes withNewline = manifest;
    withNewline.push_back('\n');
    Bytes withoutCr = manifest;
    std::erase(withoutCr, '\r');
    for (const Bytes& changed : {flipped, withBom, withNewline, withoutCr})
        EXPECT_FALSE(verifyManifestSignature(changed, signature));
}

TEST_F(SignedSample, RefusesSignaturesOfTheWrongLengthOrContent) {
    Bytes flipped = signature;
    flipped[200] ^= 0x80;
    const Bytes zeros(384, 0);
    const Bytes short383(signature.begin(), signature.end() - 1);
    Bytes long385 = signature;
    long385.push_back(0);
    for (const Bytes& bad : {flipped, zeros, short383, long385, Bytes{}})
        EXPECT_FALSE(verifyManifestSignature(manifest, bad));
}
