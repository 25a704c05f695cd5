#include "window_checks.h"

#include <array>

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
