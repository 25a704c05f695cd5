#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veskcheck {

// The Windows version facts the report's system line is made from; all zero and not valid when
// the version could not be read.
struct OsVersionFacts {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t processorArchitecture = 0;  // of the operating system, not of this process
    bool valid = false;
};

// A wall-clock reading to the second, as the system clock gives it.
struct ClockReading {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
};

// "2024-05-06 07:08:09 UTC" or "2024-05-06 15:08:09（电脑本地时间）" for the current moment.
std::u16string formatTimestamp(bool local);
std::u16string formatClockReading(const ClockReading& reading, bool local);

// The current time, in the computer's local time or in UTC (platform-specific).
ClockReading readClock(bool local);

// The running system's version facts (platform-specific).
OsVersionFacts readOsVersionFacts();

// The version of the compatibility layer the Windows program runs on (Wine reports its own through
// ntdll), or nothing on Windows itself and natively (platform-specific).
std::optional<std::u16string> readWineVersion();

// "Windows 10 / x64 / 构建 19045", or the fixed text for facts that are not valid.
std::u16string describeOperatingSystem(const OsVersionFacts& facts);

}  // namespace veskcheck
