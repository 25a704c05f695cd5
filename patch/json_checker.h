#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace veskpatch {

// One object or array of a checked document, in the order their openings appear.
struct JsonContainer {
    std::uint32_t end = 0;         // offset just past the closing bracket
    std::uint32_t count = 0;       // members or items
    std::uint32_t next = 0;        // index of the first container after this one and all inside it
    std::uint32_t nextString = 0;  // index of the first string after it
};

// Where each string of a checked document ends (just past its closing quote), in the order the
// strings appear, keys included; the top bit marks a string that holds an escape.
using JsonStringEnd = std::uint32_t;
inline constexpr JsonStringEnd jsonStringEscaped = 0x80000000;

// What the reader needs to step over the document without reading it again.
struct JsonOutline {
    std::vector<JsonContainer> containers;
    std::vector<JsonStringEnd> stringEnds;
};

// Checks well-formed UTF-8 text without a byte-order mark against every rule of the strict
// reader: one value, nested at most 64 levels deep, no array of more than 200,000 items, no object
// with a repeated key (compared after escapes are resolved), non-negative 64-bit integers only.
// Throws PatchError with the message of the first fault in reading order.
JsonOutline checkJson(std::span<const unsigned char> text);

}  // namespace veskpatch
