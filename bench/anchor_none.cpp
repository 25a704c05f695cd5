#include "bench/anchor.h"

namespace veskbench {

std::optional<double> anchorMilliseconds(std::span<const unsigned char>, int) { return std::nullopt; }

}  // namespace veskbench
