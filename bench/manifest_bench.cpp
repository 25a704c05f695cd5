// Times parseManifest and verifyManifest on the largest manifest the updater accepts and prints
// the time, the throughput and the process's peak memory. The program cannot sign (the Windows
// build has no signing code), so it writes its manifest for an outside signer with --write and
// reads that signature back with --signature.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/anchor.h"
#include "bench/manifest_generator.h"
#include "bench/median_time.h"
#include "bench/peak_memory.h"
#include "patch/manifest.h"
#include "patch/patch_error.h"

namespace veskbench {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr int timedRuns = 7;
constexpr double bytesPerMebibyte = 1048576.0;

constexpr char usage[] =
    "usage: manifest-bench --write FILE [--mib N] | --signature FILE [--mib N] [--anchor-ms X]\n"
    "  --write FILE      writes the generated manifest to FILE, to be signed with the test key\n"
    "  --signature FILE  times parseManifest and verifyManifest with the signature in FILE\n"
    "  --mib N           a manifest of N MiB (1 to 16) instead of the largest the updater accepts\n"
    "  --anchor-ms X     the yardstick measured elsewhere, for a build that cannot time it itself\n";

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

struct ManifestShape {
    std::size_t entries = 0;
    std::size_t deletes = 0;
};

// Figures for a manifest the updater refuses would time an early exit, so a refusal ends the run.
ManifestShape checkAccepted(const Bytes& manifest) {
    try {
        const veskpatch::Manifest parsed = veskpatch::parseManifest(manifest);
        const auto deletes =
            std::ranges::count(parsed.files, veskpatch::FileAction::Delete, &veskpatch::ManifestFile::action);
        return {parsed.files.size(), static_cast<std::size_t>(deletes)};
    } catch (const veskpatch::PatchError& e) {
        throw std::runtime_error(std::string("parseManifest refuses the generated manifest: ") + e.what());
    }
}

void requireVerified(veskcheck::FailureCategory category) {
    if (category != veskcheck::FailureCategory::Ok)
        throw std::runtime_error("verifyManifest returned category " + std::to_string(static_cast<int>(category)) +
                                 " instead of 0: the signature must be made over the --write output");
}

double megabytesPerSecond(std::size_t bytes, double milliseconds) {
    return static_cast<double>(bytes) / 1e3 / milliseconds;
}

struct Figures {
    std::size_t bytes = 0;
    ManifestShape shape;
    double parseMs = 0;
    double verifyMs = 0;
    std::optional<double> anchorMs;
    // After one parse and one verification: what a check run pays for its manifest.
    std::uint64_t firstPeakBytes = 0;
    // After every timed run as well. Repeated runs can raise it through the allocator rather than the
    // parser: glibc, once large blocks have been freed, serves the next ones from its heap instead of
    // fresh mappings, and the heap keeps what it grew to.
    std::uint64_t peakBytes = 0;
};

double mebibytes(std::uint64_t bytes) { return static_cast<double>(bytes) / bytesPerMebibyte; }

void printTiming(std::string_view function, std::size_t bytes, double milliseconds) {
    std::cout << "manifest-bench: " << function << ' ' << milliseconds << " ms, "
              << megabytesPerSecond(bytes, milliseconds) << " MB/s (median of " << timedRuns << " runs)\n";
}

void printPeak(std::string_view when, std::uint64_t peakBytes, std::size_t documentBytes) {
    std::cout << "manifest-bench: peak memory " << when << ' ' << peakBytes << " bytes (" << mebibytes(peakBytes)
              << " MiB), " << static_cast<double>(peakBytes) / static_cast<double>(documentBytes)
              << " x the manifest's size\n";
}

// "n/a" where the figure could not be had in this run.
std::string optionalFigure(std::optional<double> value) {
    if (!value) return "n/a";
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << *value;
    return text.str();
}

void printFigures(const Figures& figures) {
    std::cout << std::fixed << std::setprecision(2);
    std::cout << "manifest-bench: manifest of " << figures.bytes << " bytes, " << figures.shape.entries << " entries ("
              << figures.shape.entries - figures.shape.deletes << " replace, " << figures.shape.deletes << " delete)\n";
    printTiming("parseManifest", figures.bytes, figures.parseMs);
    printTiming("verifyManifest", figures.bytes, figures.verifyMs);
    std::cout << "manifest-bench: anchor (general DOM parse, fresh parser, plus SHA-256) "
              << optionalFigure(figures.anchorMs) << " ms\n";
    printPeak("after the first parse and verification", figures.firstPeakBytes, figures.bytes);
    printPeak("after all runs", figures.peakBytes, figures.bytes);
    const std::string ratio = figures.anchorMs ? optionalFigure(figures.verifyMs / *figures.anchorMs) : "n/a";
    std::cout << "manifest-bench: bytes=" << figures.bytes << " entries=" << figures.shape.entries
              << " parse_ms=" << figures.parseMs << " verify_ms=" << figures.verifyMs
              << " anchor_ms=" << optionalFigure(figures.anchorMs) << " ratio=" << ratio
              << " peak_rss_mib=" << mebibytes(figures.firstPeakBytes) << '\n';
}

struct Options {
    std::string writePath;
    std::string signaturePath;
    std::size_t bytes = veskpatch::maxManifestBytes;
    std::optional<double> anchorMs;
};

int writeManifest(const Options& options) {
    const Bytes manifest = generateManifest(options.bytes);
    writeFile(options.writePath, manifest);
    std::cout << "manifest-bench: wrote " << manifest.size() << " bytes to " << options.writePath << '\n';
    return 0;
}

// Only the manifest and the signature stay alive while the clock runs: the generator's scratch
// and the checked Manifest are gone by then, so the first peak is the document plus what one
// parse and one verification need. The yardstick runs last, so that it cannot raise that peak.
int runBenchmark(const Options& options) {
    const Bytes signature = readFile(options.signaturePath);
    const Bytes manifest = generateManifest(options.bytes);
    Figures figures;
    figures.bytes = manifest.size();
    figures.shape = checkAccepted(manifest);
    requireVerified(veskpatch::verifyManifest(manifest, signature));
    figures.firstPeakBytes = peakMemoryBytes();
    figures.parseMs = medianMilliseconds(timedRuns, [&] { veskpatch::parseManifest(manifest); });
    figures.verifyMs =
        medianMilliseconds(timedRuns, [&] { requireVerified(veskpatch::verifyManifest(manifest, signature)); });
    figures.peakBytes = peakMemoryBytes();
    figures.anchorMs = options.anchorMs ? options.anchorMs : anchorMilliseconds(manifest, timedRuns);
    printFigures(figures);
    return 0;
}

// A whole number of mebibytes from 1 to 16, or nothing.
std::optional<std::size_t> manifestBytes(const std::string& mebibytes) {
    for (int mib = 1; mib <= 16; ++mib)
        if (mebibytes == std::to_string(mib)) return static_cast<std::size_t>(mib) * 1048576;
    return std::nullopt;
}

std::optional<double> positiveMilliseconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value > 0)) return std::nullopt;
    return value;
}

// Nothing when the arguments do not form a command.
std::optional<Options> parseOptions(const std::vector<std::string>& args) {
    if (args.size() % 2 != 0) return std::nullopt;
    Options options;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--write") {
            options.writePath = value;
        } else if (name == "--signature") {
            options.signaturePath = value;
        } else if (name == "--mib" && manifestBytes(value)) {
            options.bytes = *manifestBytes(value);
        } else if (name == "--anchor-ms" && positiveMilliseconds(value)) {
            options.anchorMs = positiveMilliseconds(value);
        } else {
            return std::nullopt;
        }
    }
    if (options.writePath.empty() == options.signaturePath.empty()) return std::nullopt;
    return options;
}

}  // namespace
}  // namespace veskbench

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::optional<veskbench::Options> options = veskbench::parseOptions(args);
    if (!options) {
        std::cerr << veskbench::usage;
        return 2;
    }
    try {
        if (!options->writePath.empty()) return veskbench::writeManifest(*options);
        return veskbench::runBenchmark(*options);
    } catch (const std::exception& e) {
        std::cerr << "manifest-bench: " << e.what() << '\n';
        return 1;
    }
}
