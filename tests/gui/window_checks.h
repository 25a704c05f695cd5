#pragma once

// What the driver's cases expect of the window again and again: its states, its buttons, its
// layout, and how the expectations are worded.
#include <windows.h>

#include <string>
#include <string_view>

#include "driver_case.h"

namespace vesktest {

inline constexpr milliseconds realRunEnds{120000};
inline constexpr milliseconds nothingHappens{1000};

inline constexpr ButtonsSeen locked{false, false, false, false};
inline constexpr ButtonsSeen retryOnly{true, false, false, false};
inline constexpr ButtonsSeen withReport{true, true, true, false};
inline constexpr ButtonsSeen withReportAndClock{true, true, true, true};

StateSeen runningState();
StateSeen finishedState(const std::u16string& advice, ButtonsSeen buttons);
// The advice the test build's scripted run of `scenario` shows.
std::u16string scriptedAdvice(std::string_view scenario);

// Read from outside, which Wine answers truly at 96 DPI only.
void expectLayoutFromOutside(Case& c, const Session& session);
// As the window itself sees it, at any DPI; every control must use the one font.
void expectLayoutFromFacts(Case& c, const Facts& facts, const std::string& when);

}  // namespace vesktest
