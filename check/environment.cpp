#include "check/environment.h"

#include "check/report_words.h"
#include "common/decimal_text.h"

namespace veskcheck {
namespace {

constexpr std::uint16_t architectureIntel = 0;  // PROCESSOR_ARCHITECTURE_INTEL
constexpr std::uint16_t architectureAmd64 = 9;  // PROCESSOR_ARCHITECTURE_AMD64
constexpr std::uint32_t firstWindows11Build = 22000;

std::u16string windowsName(const OsVersionFacts& facts) {
    if (facts.major == 6 && facts.minor == 1) return u"Windows 7";
    if (facts.major == 6 && facts.minor == 2) return u"Windows 8";
    if (facts.major == 6 && facts.minor == 3) return u"Windows 8.1";
    if (facts.major == 10) return facts.build < firstWindows11Build ? u"Windows 10" : u"Windows 11";
    return u"Windows（未验证版本）";
}

std::u16string architectureWord(std::uint16_t architecture) {
    if (architecture == architectureAmd64) return u"x64";
    if (architecture == architectureIntel) return u"x86";
    return u"其他架构（尚未验收）";
}

}  // namespace

std::u16string formatClockReading(const ClockReading& reading, bool local) {
    std::u16string text = decimalText(reading.year, 4) + u"-" + decimalText(reading.month, 2) + u"-" +
                          decimalText(reading.day, 2) + u" " + decimalText(reading.hour, 2) + u":" +
                          decimalText(reading.minute, 2) + u":" + decimalText(reading.second, 2);
    text += local ? reportWords::localSuffix : reportWords::utcSuffix;
    return text;
}

std::u16string formatTimestamp(bool local) { return formatClockReading(readClock(local), local); }

std::u16string describeOperatingSystem(const OsVersionFacts& facts) {
    if (!facts.valid) return u"Windows（版本检测失败，不执行系统修改）";
    std::u16string description = windowsName(facts);
    if (facts.servicePackMajor != 0) description += u" SP" + decimalText(facts.servicePackMajor);
    description += reportWords::systemSeparator;
    description += architectureWord(facts.processorArchitecture);
    description += reportWords::systemSeparator;
    description += reportWords::buildWord;
    return description + decimalText(facts.build);
}

}  // namespace veskcheck
