// Times parseManifest and verifyManifest on the largest manifest the updater accepts and prints
// the time, the throughput and the process's peak memory. The program cannot sign (the Windows
// build has no signing code), so it writes its manifest for an outside signer with --write and
// reads that signature back with --signature.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/manifest_generator.h"
#include "bench/peak_memory.h"
#include "patch/manifest.h"
#include "patch/patch_error.h"

namespace veskbench {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr int timedRuns = 7;
constexpr double bytesPerMebibyte = 1048576.0;

constexpr char usage[] =
    "usage: manifest-bench --write FILE | --signature FILE\n"
    "  --write FILE      writes the generated manifest to FILE, to be signed with the test key\n"
    "  --signature FILE  times parseManifest and verifyManifest with the signature in FILE\n";

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

// The median is robust against the odd run that a page-in or another process slowed down.
template <typename Work>
double medianMilliseconds(Work&& work) {
    std::array<double, timedRuns> times{};
    for (double& time : times) {
        const auto start = std::chrono::steady_clock::now();
        work();
        time = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    std::ranges::nth_element(times, times.begin() + timedRuns / 2);
    return times[timedRuns / 2];
}

double megabytesPerSecond(std::size_t bytes, double milliseconds) {
    return static_cast<double>(bytes) / 1e3 / milliseconds;
}

struct Figures {
    std::size_t bytes = 0;
    ManifestShape shape;
    double parseMs = 0;
    double verifyMs = 0;
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

void printFigures(const Figures& figures) {
    std::cout << std::fixed << std::setprecision(2);
    std::cout << "manifest-bench: manifest of " << figures.bytes << " bytes, " << figures.shape.entries << " entries ("
              << figures.shape.entries - figures.shape.deletes << " replace, " << figures.shape.deletes << " delete)\n";
    printTiming("parseManifest", figures.bytes, figures.parseMs);
    printTiming("verifyManifest", figures.bytes, figures.verifyMs);
    printPeak("after the first parse and verification", figures.firstPeakBytes, figures.bytes);
    printPeak("after all runs", figures.peakBytes, figures.bytes);
    std::cout << "manifest-bench: bytes=" << figures.bytes << " entries=" << figures.shape.entries
              << " parse_ms=" << figures.parseMs << " verify_ms=" << figures.verifyMs
              << " peak_rss_mib=" << mebibytes(figures.peakBytes) << '\n';
}

int writeManifest(const std::string& path) {
    const Bytes manifest = generateLargestManifest();
    writeFile(path, manifest);
    std::cout << "manifest-bench: wrote " << manifest.size() << " bytes to " << path << '\n';
    return 0;
}

// Only the manifest and the signature stay alive while the clock runs: the generator's scratch
// and the checked Manifest are gone by then, so the peak is the document plus what the code under
// test needs.
int runBenchmark(const std::string& signaturePath) {
    const Bytes signature = readFile(signaturePath);
    const Bytes manifest = generateLargestManifest();
    Figures figures{.bytes = manifest.size(), .shape = checkAccepted(manifest)};
    requireVerified(veskpatch::verifyManifest(manifest, signature));
    figures.firstPeakBytes = peakMemoryBytes();
    figures.parseMs = medianMilliseconds([&] { veskpatch::parseManifest(manifest); });
    figures.verifyMs = medianMilliseconds([&] { requireVerified(veskpatch::verifyManifest(manifest, signature)); });
    figures.peakBytes = peakMemoryBytes();
    printFigures(figures);
    return 0;
}

}  // namespace
}  // namespace veskbench

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--write") return veskbench::writeManifest(args[1]);
        if (args.size() == 2 && args[0] == "--signature") return veskbench::runBenchmark(args[1]);
    } catch (const std::exception& e) {
        std::cerr << "manifest-bench: " << e.what() << '\n';
        return 1;
    }
    std::cerr << veskbench::usage;
    return 2;
}
