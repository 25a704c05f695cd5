// Times the support desk's reader over generated reports (10,000 unless told): each is written
// with the program's own report code (the advice rules pick its advice), read back and
// summarised, and the figures are printed as reports per second on one core, with the peak
// memory, which the summary bounds whatever the number of reports. It also writes the reports as
// files for the reader's soak.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench/median_time.h"
#include "bench/peak_memory.h"
#include "certpath/chain_block.h"
#include "check/report_text.h"
#include "net/advice.h"
#include "report/report_outputs.h"
#include "report/report_reader.h"
#include "report_file_bytes.h"

namespace {

using namespace veskcheck;

constexpr std::size_t reportCount = 10000;
constexpr int timedRuns = 5;

FetchOutcome outcome(ConnectionMode mode, FailureCategory category, std::int32_t curl, std::int32_t http,
                     std::u16string peer, std::uint64_t elapsed) {
    FetchOutcome f;
    f.mode = mode;
    f.target = u"清单";
    f.category = category;
    f.curlCode = curl;
    f.httpStatus = http;
    f.elapsedMs = elapsed;
    f.dnsMs = elapsed / 10;
    f.connectMs = elapsed / 5;
    f.tlsMs = elapsed / 2;
    f.peerIp = std::move(peer);
    return f;
}

ChainDescription chain(bool untrustedRoot) {
    const std::uint32_t rootStatus = untrustedRoot ? 0x20 : 0;
    return {rootStatus,
            untrustedRoot ? 0x800B0109u : 0u,
            {{rootStatus,
              {{u"update.vesk.example", u"Vesk Issuing CA", 0, {1, 2, 3}},
               {u"Vesk Issuing CA", untrustedRoot ? u"Interception Root" : u"Vesk Root CA", 0, {4, 5}},
               {u"Vesk Root CA", u"Vesk Root CA", rootStatus, {6}}}}}};
}

// One report of a mix of outcomes, UTF-16LE with its byte-order mark as the program writes it.
std::vector<unsigned char> generatedReport(std::size_t index) {
    static const FailureCategory categories[] = {FailureCategory::Ok, FailureCategory::DnsFailed,
                                                 FailureCategory::CertUntrusted, FailureCategory::HttpStatus,
                                                 FailureCategory::Timeout};
    const FailureCategory first = categories[index % 5];
    const FailureCategory second = categories[(index / 5) % 5];
    const std::vector<FetchOutcome> attempts = {
        outcome(ConnectionMode::Ipv4Only, first, first == FailureCategory::Ok ? 0 : 60, 200, u"203.0.113.7",
                100 + index % 400),
        outcome(ConnectionMode::SystemChosen, second, 0, second == FailureCategory::HttpStatus ? 503 : 200,
                u"2001:db8::7", 50 + index % 900)};
    std::u16string text =
        headerLine() + timeLines(u"2026-12-10 23:00:05 UTC", u"2026-12-11 07:00:05（电脑本地时间）") +
        systemLine(index % 3 ? u"Windows 10 / x64 / 构建 19045" : u"Windows 7 SP1 / x86 / 构建 7601") +
        scopeBlock(u"update.vesk.example") + componentLine("8.23.0", "Schannel") +
        adviceSection(selectAdvice(attempts));
    for (const FetchOutcome& attempt : attempts) text += diagnosticLine(attempt);
    text += certificateHeading();
    for (const FetchOutcome& attempt : attempts)
        text += addressHeading(attempt.peerIp, u"update.vesk.example") + writeChainBlock(chain(index % 7 == 0));
    for (const FetchOutcome& attempt : attempts) text += finalClassificationLine(attempt);
    text += footer();
    return vesktest::reportFileBytes(text);
}

constexpr char usage[] =
    "usage: report-bench [--count N] [--write FOLDER]\n"
    "  --count N       N reports instead of 10,000; the bytes of at most 10,000 distinct reports are\n"
    "                  held, and N are read from them in turn\n"
    "  --write FOLDER  writes the N reports as files instead, 1,000 to a sub-folder, for the reader\n";

struct Options {
    std::size_t count = reportCount;
    std::optional<std::filesystem::path> folder;
};

std::optional<Options> parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--count") {
            const std::string& value = args[i + 1];
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.count);
            if (error != std::errc() || end != value.data() + value.size() || options.count == 0) return std::nullopt;
        } else if (args[i] == "--write") {
            options.folder = args[i + 1];
        } else {
            return std::nullopt;
        }
    }
    if (args.size() % 2 != 0) return std::nullopt;
    return options;
}

int writeReports(const std::filesystem::path& folder, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%04zu/report-%07zu.txt", i / 1000, i);
        const std::filesystem::path file = folder / name;
        if (i % 1000 == 0) std::filesystem::create_directories(file.parent_path());
        const std::vector<unsigned char> bytes = generatedReport(i);
        std::ofstream out(file, std::ios::binary);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
            std::cerr << "report-bench: cannot write " << file << '\n';
            return 1;
        }
    }
    std::cout << "report-bench: wrote " << count << " reports to " << folder << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions({argv + 1, argv + argc});
    if (!options) {
        std::cerr << usage;
        return 2;
    }
    if (options->folder) return writeReports(*options->folder, options->count);
    std::vector<std::vector<unsigned char>> files;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < std::min(options->count, reportCount); ++i) files.push_back(generatedReport(i));
    for (std::size_t i = 0; i < options->count; ++i) bytes += files[i % files.size()].size();
    std::size_t counted = 0;
    const double ms = veskbench::medianMilliseconds(timedRuns, [&] {
        veskreport::Summariser summariser;
        for (std::size_t i = 0; i < options->count; ++i)
            summariser.add(std::get<veskreport::ReportRecord>(veskreport::readReportBytes(files[i % files.size()])));
        counted = veskreport::summaryText(summariser.summary()).size();
    });
    std::cout << "report-bench: " << options->count << " reports, " << bytes << " bytes, read and summarised in " << ms
              << " ms (median of " << timedRuns << " runs)\n";
    std::cout << "report-bench: reports_per_second=" << static_cast<std::uint64_t>(options->count / (ms / 1000.0))
              << " summary_bytes=" << counted << " peak_memory_mib=" << veskbench::peakMemoryBytes() / 1048576 << '\n';
    return 0;
}
