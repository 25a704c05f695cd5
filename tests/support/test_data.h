#pragma once

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesktest {

// The bytes of a fixture under tests/data (under Wine the Unix path is reached through drive Z:).
inline std::vector<unsigned char> readTestFile(const std::string& name) {
    std::ifstream file(std::string(VESK_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    if (!file) throw std::runtime_error("missing test fixture " + name);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace vesktest
