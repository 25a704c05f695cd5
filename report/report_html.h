#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/report_outputs.h"

namespace veskreport {

// Text from a report made safe to stand in an HTML page, as element content or in a quoted
// attribute: the five markup characters become references, and control characters, which have
// no place in HTML, become U+FFFD. The one way a report's text reaches the page.
std::string htmlEscaped(std::string_view utf8);

// One self-contained page: the summary as tables and bar charts (inline SVG), then a table of the
// reports. No script, no style sheet or image beside it.
std::string htmlPage(const std::vector<ReadReport>& reports);

}  // namespace veskreport
