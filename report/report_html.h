#pragma once

#include <string>
#include <string_view>

#include "report/report_outputs.h"

namespace veskreport {

// Text from a report made safe to stand in an HTML page, as element content or in a quoted
// attribute: the five markup characters become references, and control characters (which have
// no place in HTML or reorder the text around them) and bytes that are not UTF-8 become U+FFFD.
// The one way a report's text reaches the page.
std::string htmlEscaped(std::string_view utf8);

// One report's row of the page's table of reports.
std::string reportRow(const ReadReport& report);

// One self-contained page: the summary as tables and bar charts (inline SVG), then the table of
// the reports with the rows given. No script, no style sheet or image beside it.
std::string htmlPage(const Summary& summary, std::string_view reportRows);

}  // namespace veskreport
