#include "report/report_tool.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "report/control_characters.h"
#include "report/file_name.h"
#include "report/folder_walk.h"
#include "report/page_file.h"
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

// At most one byte past the limit is read, whatever size the file claims: a file can grow while
// it is read, and some (/proc/self/pagemap) claim nothing and never end.
std::variant<ReportRecord, Refusal> readReportFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::vector<unsigned char> bytes;
    char chunk[65536];
    while (stream.read(chunk, sizeof chunk), stream.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + stream.gcount());
        if (bytes.size() > maxReportBytes) return Refusal{"it is larger than 1 MiB"};
    }
    if (!stream.is_open() || stream.bad()) return Refusal{"it cannot be read"};
    return readReportBytes(bytes);
}

// What was asked for, one report at a time: lines and JSON go out at once, and counts and page
// rows are all that is kept, so a million reports take no more memory than a few.
class Outputs {
public:
    Outputs(Output output, std::ostream& out) : output_(output), out_(out) {}

    void add(const ReadReport& report) {
        switch (output_) {
        case Output::Lines: out_ << reportLine(report) << '\n'; break;
        case Output::Json: out_ << reportJson(report) << '\n'; break;
        case Output::Html: rows_ += reportRow(report); [[fallthrough]];
        case Output::Summary: summariser_.add(report.record); break;
        }
    }

    Summary summary() const { return summariser_.summary(); }
    const std::string& rows() const { return rows_; }

private:
    Output output_;
    std::ostream& out_;
    Summariser summariser_;
    std::string rows_;
};

}  // namespace

int runReportTool(const std::vector<std::filesystem::path>& arguments, std::ostream& out, std::ostream& err) {
    const std::optional<Command> command = parseCommand(arguments);
    if (!command) {
        err << usage;
        return 2;
    }
    Outputs outputs(command->output, out);
    bool refused = false;
    const auto take = [&](const WalkedEntry& entry) {
        const std::string name = terminalSafe(fileName(entry.path));
        if (entry.notTaken) {
            err << name << ": not read: " << *entry.notTaken << '\n';
            refused = true;
            return;
        }
        auto read = readReportFile(entry.path);
        if (const Refusal* refusal = std::get_if<Refusal>(&read)) {
            err << name << ": not a report: " << refusal->reason << '\n';
            refused = true;
            return;
        }
        outputs.add({entry.path, std::move(std::get<ReportRecord>(read))});
    };
    for (const std::filesystem::path& input : command->inputs) walkInput(input, take);
    if (command->output == Output::Summary) out << summaryText(outputs.summary());
    if (command->output == Output::Html && !writeNewPage(command->page, htmlPage(outputs.summary(), outputs.rows()))) {
        err << terminalSafe(fileName(command->page)) << ": the page cannot be written as a new file\n";
        return 1;
    }
    return refused ? 1 : 0;
}

}  // namespace veskreport
