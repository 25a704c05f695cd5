#include "report/report_html.h"

#include <algorithm>

#include "common/utf8_encode.h"
#include "report/control_characters.h"
#include "report/file_name.h"

namespace veskreport {
namespace {

constexpr int barWidth = 480;
constexpr int rowHeight = 22;

constexpr char pageStart[] = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>vesk-report</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
table { border-collapse: collapse; margin-bottom: 1.5em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }
td.count { text-align: right; }
svg text { font-size: 13px; }
div.tally { display: flex; gap: 2em; align-items: flex-start; }
</style>
</head>
<body>
)";

std::string cell(std::string_view text, std::string_view kind = "") {
    return kind.empty() ? "<td>" + htmlEscaped(text) + "</td>"
                        : "<td class=\"" + std::string(kind) + "\">" + htmlEscaped(text) + "</td>";
}

// A horizontal bar per row, as long as its share of the largest count.
std::string barChart(const Tally& tally) {
    std::size_t largest = 1;
    for (const auto& row : tally.rows) largest = std::max(largest, row.second);
    const int height = static_cast<int>(tally.rows.size()) * rowHeight;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(barWidth + 360) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"" +
                      htmlEscaped(tally.heading) + "\">\n";
    for (std::size_t i = 0; i < tally.rows.size(); ++i) {
        const auto& [label, count] = tally.rows[i];
        const int width = std::max(1, static_cast<int>(barWidth * count / largest));
        const std::string y = std::to_string(static_cast<int>(i) * rowHeight);
        svg += "<rect x=\"0\" y=\"" + y + "\" width=\"" + std::to_string(width) + "\" height=\"" +
               std::to_string(rowHeight - 4) + "\" fill=\"#4a7ab5\"><title>" + htmlEscaped(label) + "</title></rect>";
        svg += "<text x=\"" + std::to_string(width + 6) + "\" y=\"" +
               std::to_string(static_cast<int>(i) * rowHeight + 14) + "\">" + std::to_string(count) + "  " +
               htmlEscaped(label) + "</text>\n";
    }
    return svg + "</svg>\n";
}

std::string tallySection(const Tally& tally) {
    std::string html = "<h2>" + htmlEscaped(tally.heading) + "</h2>\n";
    if (tally.rows.empty()) return html + "<p>none</p>\n";
    html += "<div class=\"tally\"><table><tr><th>count</th><th>" + htmlEscaped(tally.heading) + "</th></tr>\n";
    for (const auto& [label, count] : tally.rows)
        html += "<tr>" + cell(std::to_string(count), "count") + cell(label) + "</tr>\n";
    return html + "</table>\n" + barChart(tally) + "</div>\n";
}

}  // namespace

// The characters a terminal must not be given are the ones a page must not show either.
std::string htmlEscaped(std::string_view utf8) {
    const std::string plain = terminalSafe(utf8);
    std::string escaped;
    escaped.reserve(plain.size());
    for (const char c : plain) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string reportRow(const ReadReport& report) {
    std::string roots;
    for (const std::u16string& issuer : untrustedRootIssuers(report.record))
        roots += (roots.empty() ? "" : "; ") + veskcheck::utf8FromUtf16(issuer);
    const auto& wine = report.record.wineVersion;
    return "<tr>" + cell(fileName(report.file)) + cell(categoriesText(report.record)) +
           cell(adviceText(report.record)) + cell(systemText(report.record)) + cell(roots) +
           cell(wine ? "Wine " + veskcheck::utf8FromUtf16(*wine) : "") + "</tr>\n";
}

std::string htmlPage(const Summary& summary, std::string_view reportRows) {
    std::string html = pageStart;
    html +=
        "<h1>vesk-check reports</h1>\n<p id=\"report-count\">reports: " + std::to_string(summary.reports) + "</p>\n";
    for (const Tally& tally : summary.tallies) html += tallySection(tally);
    html += "<h2>median fetch time</h2>\n<table><tr><th>mode</th><th>median</th><th>fetches</th></tr>\n";
    for (const FetchTime& time : summary.fetchTimes)
        html += "<tr>" + cell(time.mode) + cell(std::to_string(time.medianMs) + " ms", "count") +
                cell(std::to_string(time.fetches), "count") + "</tr>\n";
    html +=
        "</table>\n<h2>reports</h2>\n<table><tr><th>file</th><th>final categories</th><th>advice</th>"
        "<th>system</th><th>untrusted roots</th><th>compatibility layer</th></tr>\n";
    html += reportRows;
    return html + "</table>\n</body>\n</html>\n";
}

}  // namespace veskreport
