#pragma once

#include <span>
#include <string>
#include <variant>
#include <vector>

#include "report/report_lines.h"
#include "report/report_record.h"

namespace veskreport {

// Reads a report's lines back into its facts, piece by piece in the order the program writes
// them. A line that is not where the layout puts it (a cut, edited or foreign text) refuses the
// whole report, naming the line.
std::variant<ReportRecord, Refusal> readReport(const std::vector<std::u16string>& lines);

// A report file's bytes: its lines (reportLines), then its facts.
std::variant<ReportRecord, Refusal> readReportBytes(std::span<const unsigned char> bytes);

}  // namespace veskreport
