#include "window_checks.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "expected_layout.h"
#include "expected_texts.h"
#include "fake_reports.h"

namespace vesktest {
namespace {

std::string rectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top) + ")";
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void expectPlaced(Case& c, const std::array<RECT, controlCount>& seen, SIZE client, const std::string& when) {
    const auto wanted = layoutTable(client, c.dpi());
    for (std::size_t slot = 0; slot < seen.size(); ++slot)
        c.verdict.expect(sameRect(seen[slot], wanted[slot]), when + ", control " + std::to_string(slot) + " at " +
                                                                 rectText(seen[slot]) + ", wanted " +
                                                                 rectText(wanted[slot]));
}

}  // namespace

StateSeen runningState() { return {expected::runningStatus, expected::runningText, locked}; }

StateSeen finishedState(const std::u16string& advice, ButtonsSeen buttons) {
    return {expected::finishedStatus, advice, buttons};
}

std::u16string scriptedAdvice(std::string_view scenario) { return std::u16string(findFakeScenario(scenario)->advice); }

void expectAnswering(Case& c, HWND window, milliseconds span, const std::string& when) {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    };
    while (IsWindow(window) && elapsed() < span) {
        DWORD_PTR length = 0;
        const bool answered = SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                                                  static_cast<UINT>(hungAfter.count()), &length) != 0;
        if (!answered && IsWindow(window)) {
            c.verdict.expect(
                false, when + ": the window stopped answering after " + std::to_string(elapsed().count()) + " ms");
            return;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
}

void expectCloseDuringRetriedRun(Case& c, const Session& s, milliseconds after, milliseconds ends) {
    const std::string when = "closed " + std::to_string(after.count()) + " ms after the retry";
    click(s.button(101));
    std::this_thread::sleep_for(after);
    s.close();
    const auto closedAt = std::chrono::steady_clock::now();
    expectAnswering(c, s.control(0), ends, when);
    const auto sinceClose = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - closedAt);
    const bool ended = s.program().ended(std::max(ends - sinceClose, milliseconds(0)));
    c.verdict.expect(ended,
                     when + ": the process did not end within " + std::to_string(ends.count()) + " ms of the request");
    if (ended) c.verdict.expectNumber(s.program().exitCode(), 0, when + ": exit code");
}

// Read from outside, which Wine answers truly at 96 DPI only.
void expectLayoutFromOutside(Case& c, const Session& session) {
    RECT client{};
    GetClientRect(session.main(), &client);
    std::array<RECT, controlCount> seen{};
    for (int slot = 0; slot < controlCount; ++slot) seen[slot] = rectInClient(session.control(slot), session.main());
    expectPlaced(c, seen, {client.right, client.bottom}, "seen from outside");
}

// As the window itself sees it, at any DPI; every control must use the one font.
void expectLayoutFromFacts(Case& c, const Facts& facts, const std::string& when) {
    const auto controls = facts.all("control");  // class, id, x, y, width, height, font
    c.verdict.expectNumber(static_cast<long long>(controls.size()), controlCount, when + ", controls in the facts");
    if (controls.size() != controlCount) return;
    std::array<RECT, controlCount> seen{};
    for (std::size_t slot = 0; slot < seen.size(); ++slot) {
        const auto& words = controls[slot];
        const int x = std::stoi(words[2]);
        const int y = std::stoi(words[3]);
        seen[slot] = {x, y, x + std::stoi(words[4]), y + std::stoi(words[5])};
        c.verdict.expect(words[6] == "shared-font", when + ", control " + std::to_string(slot) + " has its own font");
    }
    expectPlaced(c, seen, {static_cast<LONG>(facts.number("client", 0)), static_cast<LONG>(facts.number("client", 1))},
                 when);
}

}  // namespace vesktest
