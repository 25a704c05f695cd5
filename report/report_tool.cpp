#include "report/report_tool.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "report/report_html.h"
#include "report/report_outputs.h"
#include "report/report_reader.h"

namespace veskreport {
namespace {

constexpr char usage[] =
    "usage: vesk-report [--json | --summary | --html PAGE] FILE|FOLDER...\n"
    "  reads submitted vesk-check reports; folders are walked for their files\n"
    "  (default)  one line per report\n"
    "  --json     one JSON object per report (JSON Lines)\n"
    "  --summary  counts over all reports\n"
    "  --html PAGE  the counts as tables and bar charts, and a table of the reports, in one page\n";

enum class Output { Lines, Json, Summary, Html };

struct Command {
    Output output = Output::Lines;
    std::filesystem::path page;  // for Html
    std::vector<std::filesystem::path> inputs;
};

std::optional<Command> parseCommand(const std::vector<std::filesystem::path>& arguments) {
    Command command;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (*argument == "--html" && std::next(argument) != arguments.end()) {
            command.output = Output::Html;
            command.page = *++argument;
        } else if (*argument == "--json") command.output = Output::Json;
        else if (*argument == "--summary") command.output = Output::Summary;
        else if (fileName(*argument).starts_with("--")) return std::nullopt;
        else command.inputs.push_back(*argument);
    }
    if (command.inputs.empty()) return std::nullopt;
    return command;
}

// The files an input names, a folder's in a stable order; a path that cannot be walked is one
// file that will be refused.
std::vector<std::filesystem::path> filesOf(const std::filesystem::path& input) {
    std::error_code error;
    if (!std::filesystem::is_directory(input, error)) return {input};
    std::vector<std::filesystem::path> files;
    for (auto entry = std::filesystem::recursive_directory_iterator(input, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error))
        if (entry->is_regular_file(error)) files.push_back(entry->path());
    std::ranges::sort(files);
    return files;
}

std::variant<ReportRecord, Refusal> readReportFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) return Refusal{"it cannot be read"};
    if (size > maxReportBytes) return Refusal{"it is larger than 1 MiB"};
    std::ifstream stream(file, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (!stream.eof() && stream.fail()) return Refusal{"it cannot be read"};
    return readReportBytes(bytes);
}

bool writePage(const std::filesystem::path& page, const std::string& html) {
    std::ofstream file(page, std::ios::binary | std::ios::trunc);
    file.write(html.data(), static_cast<std::streamsize>(html.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace

int runReportTool(const std::vector<std::filesystem::path>& arguments, std::ostream& out, std::ostream& err) {
    const std::optional<Command> command = parseCommand(arguments);
    if (!command) {
        err << usage;
        return 2;
    }
    std::vector<ReadReport> reports;
    bool refused = false;
    for (const std::filesystem::path& input : command->inputs) {
        for (const std::filesystem::path& file : filesOf(input)) {
            auto read = readReportFile(file);
            if (const Refusal* refusal = std::get_if<Refusal>(&read)) {
                err << terminalSafe(fileName(file)) << ": not a report: " << refusal->reason << '\n';
                refused = true;
                continue;
            }
            ReadReport report{file, std::move(std::get<ReportRecord>(read))};
            if (command->output == Output::Lines) out << reportLine(report) << '\n';
            if (command->output == Output::Json) out << reportJson(report) << '\n';
            if (command->output == Output::Summary || command->output == Output::Html)
                reports.push_back(std::move(report));
        }
    }
    if (command->output == Output::Summary) out << summaryText(summarise(reports));
    if (command->output == Output::Html && !writePage(command->page, htmlPage(reports))) {
        err << fileName(command->page) << ": the page cannot be written\n";
        return 1;
    }
    return refused ? 1 : 0;
}

}  // namespace veskreport
