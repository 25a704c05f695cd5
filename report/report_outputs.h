#pragma once

// What the reader prints about the reports it read: a line per report, a JSON object per report,
// and counts over all of them.
#include <filesystem>
#include <string>
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

// "FILE: IPv4=0 自动地址=0; advice all-ok; SYSTEM[; untrusted root ISSUER...]"
std::string reportLine(const ReadReport& report);

// One line of JSON with every fact of the report (the layout is in the README).
std::string reportJson(const ReadReport& report);

// Counts over all reports, one "label: count" line each, grouped under headings.
std::string summary(const std::vector<ReadReport>& reports);

}  // namespace veskreport
