// Fifty runs in one window of the real program, measured: what the process holds after the fifth
// run and after the fiftieth. Not part of the suite's phases; scripts/soak-window runs them.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "common/win_text.h"
#include "case_table.h"
#include "driver_case.h"
#include "expected_texts.h"
#include "temp_folder.h"
#include "window_checks.h"

namespace vesktest {
namespace {

constexpr int soakRuns = 50;
constexpr int settledRun = 5;  // by then every library and cache a run uses is in place
// Under Wine the system says nothing of another process (private bytes and handles read 0, and
// GetGuiResources is a stub), so its Linux side is read too: the anonymous memory it holds, its
// threads and its file descriptors, and its windows are counted.
//
// Between the fifth run and the fiftieth the heaps of Wine, Schannel and libcurl still settle
// (measured: 0.4 to 0.5 MiB, nearly all of it by the thirtieth run), so memory may grow by 1 MiB,
// which a leak of 23 KiB a run exceeds; over the last ten runs, once settled, by 64 KiB, which a
// leak of 7 KiB a run (less than one report) exceeds. Counts may grow by a thread still ending
// with its descriptors (four under Wine), and nothing else.
constexpr long long memorySlack = 1024 * 1024;
constexpr long long settledMemorySlack = 64 * 1024;
constexpr long long countSlack = 4;
constexpr int lastTenFrom = 40;

struct Figure {
    const char* name;
    long long slack;
    bool memory;
};

// In the order of resourceUse's values.
constexpr Figure figuresKept[] = {
    {"private-bytes", memorySlack, true},
    {"handles", countSlack, false},
    {"gdi-objects", 0, false},
    {"user-objects", 0, false},
    {"linux-anonymous-bytes", memorySlack, true},
    {"linux-threads", countSlack, false},
    {"linux-descriptors", countSlack, false},
    {"windows", 0, false},
};

std::string fileText(const std::u16string& path) {
    const std::vector<unsigned char> bytes = fileBytes(std::filesystem::path(veskcheck::wideText(path)));
    return std::string(bytes.begin(), bytes.end());
}

struct FindTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool holds(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void release(Handle h) { FindClose(h); }
};

// The names in `folder`, without "." and "..".
std::vector<std::u16string> entriesOf(const std::u16string& folder) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW entry{};
    const veskcheck::Owner<FindTraits> search(FindFirstFileW(veskcheck::wideText(folder + u"\\*"), &entry));
    if (!search) return names;
    do {
        if (entry.cFileName[0] != L'.') names.push_back(veskcheck::fromWide(entry.cFileName));
    } while (FindNextFileW(search.get(), &entry));
    return names;
}

// The Linux process whose first argument ends with `programName`; empty if none.
std::u16string linuxProcessFolder(const std::string& programName) {
    for (const std::u16string& name : entriesOf(u"Z:\\proc")) {
        const std::u16string folder = u"Z:\\proc\\" + name;
        const std::string arguments = fileText(folder + u"\\cmdline");
        if (arguments.substr(0, arguments.find('\0')).ends_with(programName)) return folder;
    }
    return {};
}

// The number after "key:" in /proc's status text, in bytes where it is given in kB; -1 without it.
long long statusValue(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    if (at == std::string::npos) return -1;
    char* end = nullptr;
    const long long value = std::strtoll(status.c_str() + at + key.size() + 2, &end, 10);
    return std::string_view(end).starts_with(" kB") ? value * 1024 : value;
}

long long windowsOf(DWORD processId) {
    long long count = 0;
    for (const HWND top : topLevelsOf(processId)) count += 1 + static_cast<long long>(descendantsOf(top).size());
    return count;
}

std::vector<long long> resourceUse(const Program& program, const std::u16string& linux) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    const bool memoryRead =
        GetProcessMemoryInfo(program.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    DWORD handles = 0;
    const bool handlesRead = GetProcessHandleCount(program.handle(), &handles);
    const std::string status = linux.empty() ? std::string() : fileText(linux + u"\\status");
    return {memoryRead ? static_cast<long long>(memory.PrivateUsage) : -1,
            handlesRead ? static_cast<long long>(handles) : -1,
            GetGuiResources(program.handle(), GR_GDIOBJECTS),
            GetGuiResources(program.handle(), GR_USEROBJECTS),
            statusValue(status, "RssAnon"),
            statusValue(status, "Threads"),
            linux.empty() ? -1 : static_cast<long long>(entriesOf(linux + u"\\fd").size()),
            windowsOf(program.id())};
}

// Threads a run leaves to end by themselves (libcurl's resolver threads, Wine's own) come and
// go for a while after it; the figures are taken once the process's thread count has held for
// three seconds.
std::vector<long long> settledUse(const Program& program, const std::u16string& linux) {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t threads = 5;  // linux-threads in figuresKept
    std::vector<long long> use = resourceUse(program, linux);
    auto steadySince = Clock::now();
    const auto giveUp = steadySince + std::chrono::seconds(30);
    while (Clock::now() - steadySince < std::chrono::seconds(3) && Clock::now() < giveUp) {
        std::this_thread::sleep_for(milliseconds(250));
        std::vector<long long> next = resourceUse(program, linux);
        if (next[threads] != use[threads]) steadySince = Clock::now();
        use = std::move(next);
    }
    return use;
}

std::string figureLine(const std::vector<long long>& use) {
    std::string line;
    for (std::size_t i = 0; i < use.size(); ++i)
        line += std::string(i == 0 ? "" : " ") + figuresKept[i].name + " " + std::to_string(use[i]);
    return line;
}

void expectGrowthWithin(Case& c, const char* figure, long long from, long long to, long long slack, int sinceRun) {
    c.verdict.expect(to - from <= slack, std::string(figure) + " grew from " + std::to_string(from) + " after run " +
                                             std::to_string(sinceRun) + " to " + std::to_string(to) + " (allowed " +
                                             std::to_string(slack) + ")");
}

void realSoak(Case& c) {
    Session s = c.startReal();
    if (!s.ready()) return;
    const std::u16string linux = linuxProcessFolder("vesk-check.exe");
    c.verdict.expect(!linux.empty(), "the program's Linux process was not found");
    std::vector<long long> settled;
    std::vector<long long> lastTen;
    for (int run = 1; run <= soakRuns; ++run) {
        // Sent rather than posted: it returns once the window has started the run.
        if (run > 1) SendMessageTimeoutW(s.button(101), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        if (!s.waitForStatus(expected::finishedStatus, realRunEnds)) {
            c.verdict.expect(false, "run " + std::to_string(run) + " did not end");
            return;
        }
        if (run != settledRun && run % 10 != 0) continue;
        const std::vector<long long> use = settledUse(s.program(), linux);
        c.figures.push_back("after run " + std::to_string(run) + ": " + figureLine(use));
        if (run == settledRun) settled = use;
        if (run == lastTenFrom) lastTen = use;
        if (run != soakRuns) continue;
        for (std::size_t i = 0; i < use.size(); ++i) {
            const Figure& figure = figuresKept[i];
            expectGrowthWithin(c, figure.name, settled[i], use[i], figure.slack, settledRun);
            if (figure.memory) expectGrowthWithin(c, figure.name, lastTen[i], use[i], settledMemorySlack, lastTenFrom);
        }
    }
    s.expectClosed();
}

}  // namespace

std::span<const CaseEntry> soakCases() {
    static const CaseEntry cases[] = {
        {"real-soak-ok", realSoak},
        {"real-soak-refused", realSoak},
    };
    return cases;
}

}  // namespace vesktest
