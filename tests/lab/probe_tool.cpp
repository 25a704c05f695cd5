// Runs one probeCertificatePath against the lab and prints the block it returns, in UTF-8, with
// each line ended by "\n" (so the console of either platform shows lines as usual; the CR LF of
// the block itself is covered by the unit tests). The time the probe took goes to stderr as
// "elapsedMs=N" for the timing scenarios.
//   probe-tool ADDRESS HOST [--port N] [--cancel-after-ms N]
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "certpath/probe.h"
#include "common/tick_clock.h"
#include "delayed_cancel.h"
#include "patch/patch_error.h"
#include "patch/utf8_decode.h"
#include "utf8_text.h"

using namespace veskcheck;

namespace {

struct Arguments {
    std::u16string address;
    std::u16string host;
    std::uint16_t port = 443;
    long cancelAfterMs = -1;
};

bool parseArguments(int argc, char** argv, Arguments& arguments) {
    if (argc < 3) return false;
    arguments.address = veskpatch::decodeUtf8Strict(argv[1]);
    arguments.host = veskpatch::decodeUtf8Strict(argv[2]);
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 == argc) return false;
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (option == "--port" && value > 0 && value <= 65535) arguments.port = static_cast<std::uint16_t>(value);
        else if (option == "--cancel-after-ms" && value >= 0) arguments.cancelAfterMs = value;
        else return false;
    }
    return true;
}

void printLines(const std::u16string& block) {
    std::string text = vesktest::toUtf8(block);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    std::fputs(text.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    bool parsed = false;
    try {
        parsed = parseArguments(argc, argv, arguments);
    } catch (const veskpatch::PatchError&) {
        // an address or host that is not UTF-8
    }
    if (!parsed) {
        std::fprintf(stderr, "usage: probe-tool ADDRESS HOST [--port N] [--cancel-after-ms N]\n");
        return 64;
    }
    // The probe relies on the socket layer that libcurl's global initialisation starts.
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return 70;
    CancelFlag cancel{false};
    const vesktest::DelayedCancel canceller(cancel, arguments.cancelAfterMs);
    const std::uint64_t start = tickCountMs();
    const std::u16string block = probeCertificatePath(arguments.address, arguments.port, arguments.host, cancel);
    const std::uint64_t elapsedMs = tickCountMs() - start;
    printLines(block);
    std::fprintf(stderr, "elapsedMs=%llu\n", static_cast<unsigned long long>(elapsedMs));
    std::fflush(stdout);
    curl_global_cleanup();
    return 0;
}
