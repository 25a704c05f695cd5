#pragma once

// What the reader prints about the reports it read: a line per report, a JSON object per report,
// and counts over all of them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
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

// The issuers of the roots the computer did not trust, one per path that says so.
std::vector<std::u16string> untrustedRootIssuers(const ReportRecord& record);

// "FILE: IPv4=0 自动地址=0; advice all-ok; SYSTEM[; untrusted root ISSUER...]"
std::string reportLine(const ReadReport& report);

// One line of JSON with every fact of the report (the layout is in the README); no control
// character stands raw in it.
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

// Takes reports one at a time; what it holds grows with the distinct labels and fetch times it
// has met, never with the number of reports.
class Summariser {
public:
    void add(const ReportRecord& record);
    Summary summary() const;

private:
    using Counts = std::map<std::string, std::size_t>;
    std::size_t reports_ = 0;
    Counts categoryPairs_, advices_, systems_, wine_, curlErrors_, untrustedRoots_;
    std::map<std::string, std::map<std::uint64_t, std::size_t>> fetchTimes_;  // per mode: fetches per time
};

// The summary as text: "label: count" lines under their headings.
std::string summaryText(const Summary& summary);

}  // namespace veskreport
