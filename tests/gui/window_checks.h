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
// Wine calls a window hung when its thread has taken no message for five seconds; the system then
// offers the player to end the program.
inline constexpr milliseconds hungAfter{5000};

inline constexpr ButtonsSeen locked{false, false, false, false};
inline constexpr ButtonsSeen retryOnly{true, false, false, false};
inline constexpr ButtonsSeen withReport{true, true, true, false};
inline constexpr ButtonsSeen withReportAndClock{true, true, true, true};

StateSeen runningState();
StateSeen finishedState(const std::u16string& advice, ButtonsSeen buttons);
// The advice the test build's scripted run of `scenario` shows.
std::u16string scriptedAdvice(std::string_view scenario);

// Asks `window` for its text length again and again, as another program, or the system judging
// whether the window hangs, would, until it is gone or `span` has passed; each question must be
// answered.
void expectAnswering(Case& c, HWND window, milliseconds span, const std::string& when);
// Starts a run with "重新检测" and asks the window to close `after` that; then expects the window to
// answer every message until it is gone, and the process to end with exit code 0 within `ends`
// of the close request.
void expectCloseDuringRetriedRun(Case& c, const Session& s, milliseconds after, milliseconds ends);

// Read from outside, which Wine answers truly at 96 DPI only.
void expectLayoutFromOutside(Case& c, const Session& session);
// As the window itself sees it, at any DPI; every control must use the one font.
void expectLayoutFromFacts(Case& c, const Facts& facts, const std::string& when);

}  // namespace vesktest
