#include "check/environment.h"

#include <windows.h>

namespace veskcheck {
namespace {

// RtlGetVersion is reached through ntdll's export table: unlike GetVersionEx it reports the real
// version whatever the application manifest says.
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the version record the system expects");

RtlGetVersionFunction findRtlGetVersion() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
}

}  // namespace

ClockReading readClock(bool local) {
    SYSTEMTIME now{};
    if (local) GetLocalTime(&now);
    else GetSystemTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

OsVersionFacts readOsVersionFacts() {
    OsVersionFacts facts;
    if (const RtlGetVersionFunction rtlGetVersion = findRtlGetVersion()) {
        OSVERSIONINFOEXW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        if (rtlGetVersion(&version) == 0) {
            facts.major = version.dwMajorVersion;
            facts.minor = version.dwMinorVersion;
            facts.build = version.dwBuildNumber;
            facts.servicePackMajor = version.wServicePackMajor;
            facts.valid = true;
        }
    }
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    facts.processorArchitecture = system.wProcessorArchitecture;
    return facts;
}

std::optional<std::u16string> readWineVersion() {
    using WineGetVersionFunction = const char*(__cdecl*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return std::nullopt;
    const auto wineGetVersion =
        reinterpret_cast<WineGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wineGetVersion == nullptr) return std::nullopt;
    const char* version = wineGetVersion();
    // Wine's version is ASCII; anything else is not shown as it could break the report's line.
    std::u16string text;
    for (const char* at = version; at != nullptr && *at != '\0' && text.size() < 64; ++at)
        text += static_cast<unsigned char>(*at) >= 0x20 && static_cast<unsigned char>(*at) < 0x7F ? *at : u'?';
    return text;
}

}  // namespace veskcheck
