#include "check/environment.h"

#include <time.h>

namespace veskcheck {

ClockReading readClock(bool local) {
    const time_t now = time(nullptr);
    tm parts{};
    if (local) localtime_r(&now, &parts);
    else gmtime_r(&now, &parts);
    auto field = [](int value) { return static_cast<std::uint16_t>(value); };
    return {field(parts.tm_year + 1900), field(parts.tm_mon + 1), field(parts.tm_mday),
            field(parts.tm_hour),        field(parts.tm_min),     field(parts.tm_sec)};
}

// There is no Windows version to read here: the facts stay not valid and the report says so.
OsVersionFacts readOsVersionFacts() { return {}; }

// The native program runs on no compatibility layer.
std::optional<std::u16string> readWineVersion() { return std::nullopt; }

}  // namespace veskcheck
