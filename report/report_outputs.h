#pragma once

// What the reader prints about the reports it read: a line per report, a JSON object per report,
// and counts over all of them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/report_record.h"

namespace veskreport {

// The version of the JSON objects' layout; it changes when a field changes its meaning.
inline constexpr int jsonLayoutVersion = 1;

struct ReadReport {
    std::filesystem::path file;
    ReportRecord record;
};

// A file's name as UTF-8 whatever the platform's own encoding of names (a Windows code page
// cannot spell every name).
std::string fileName(const std::filesystem::path& file);

// The issuers of the roots the computer did not trust, one per path that says so.
std::vector<std::u16string> untrustedRootIssuers(const ReportRecord& record);

// Text for a terminal: control characters and the characters that reorder text on screen (which a
// crafted report could use to move the cursor or disguise a line) become U+FFFD.
std::string terminalSafe(std::string_view utf8);

// "FILE: IPv4=0 自动地址=0; advice all-ok; SYSTEM[; untrusted root ISSUER...]"
std::string reportLine(const ReadReport& report);

// One line of JSON with every fact of the report (the layout is in the README).
std::string reportJson(const ReadReport& report);

// The report's final categories ("0/9"), its advice's name, and its system, as every output shows them.
std::string categoriesText(const ReportRecord& record);
std::string adviceText(const ReportRecord& record);
std::string systemText(const ReportRecord& record);

// One count over all reports: what was counted, and each label with its count, most frequent first.
struct Tally {
    std::string heading;
    std::vector<std::pair<std::string, std::size_t>> rows;
};

struct FetchTime {
    std::string mode;
    std::uint64_t medianMs = 0;
    std::size_t fetches = 0;
};

// Counts over all reports: final-category pairs, advices, systems, compatibility layers, libcurl
// errors, untrusted-root issuers, and the median fetch time per connection mode.
struct Summary {
    std::size_t reports = 0;
    std::vector<Tally> tallies;
    std::vector<FetchTime> fetchTimes;
};

Summary summarise(const std::vector<ReadReport>& reports);

// The summary as text: "label: count" lines under their headings.
std::string summaryText(const Summary& summary);

}  // namespace veskreport
