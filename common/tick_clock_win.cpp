#include "common/tick_clock.h"

#include <windows.h>

namespace veskcheck {

std::uint64_t tickCountMs() { return GetTickCount64(); }

}  // namespace veskcheck
