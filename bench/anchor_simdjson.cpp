#include "bench/anchor.h"

#include <openssl/evp.h>
#include <simdjson.h>

#include <stdexcept>

#include "bench/median_time.h"

namespace veskbench {

std::optional<double> anchorMilliseconds(std::span<const unsigned char> document, int runs) {
    // The parser needs padding after the text; the padded copy is made before the clock runs.
    const simdjson::padded_string padded(reinterpret_cast<const char*>(document.data()), document.size());
    return medianMilliseconds(runs, [&] {
        simdjson::dom::parser parser;
        simdjson::dom::element root;
        if (parser.parse(padded).get(root) != simdjson::SUCCESS)
            throw std::runtime_error("simdjson refuses the manifest");
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_Digest(document.data(), document.size(), digest, &length, EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 failed");
    });
}

}  // namespace veskbench
