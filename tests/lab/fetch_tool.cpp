// Runs one fetchUrl against the lab and prints every field of the outcome, one key=value line
// each, for the lab's fetch scenarios:
//   fetch-tool URL ipv4|system CAP [--cancel-before | --cancel-after-ms N]
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "delayed_cancel.h"
#include "net/fetch.h"
#include "patch/digest.h"
#include "utf8_text.h"

using namespace veskcheck;

namespace {

struct Arguments {
    std::string url;
    ConnectionMode mode = ConnectionMode::Ipv4Only;
    std::uint32_t cap = 0;
    bool cancelBefore = false;
    long cancelAfterMs = -1;
};

bool parseArguments(int argc, char** argv, Arguments& arguments) {
    if (argc < 4) return false;
    arguments.url = argv[1];
    const std::string mode = argv[2];
    if (mode != "ipv4" && mode != "system") return false;
    arguments.mode = mode == "ipv4" ? ConnectionMode::Ipv4Only : ConnectionMode::SystemChosen;
    arguments.cap = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
    const std::string option = argc > 4 ? argv[4] : "";
    if (option == "--cancel-before") arguments.cancelBefore = true;
    else if (option == "--cancel-after-ms" && argc > 5) arguments.cancelAfterMs = std::strtol(argv[5], nullptr, 10);
    else if (!option.empty()) return false;
    return true;
}

void print(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

void printOutcome(const FetchOutcome& outcome) {
    using vesktest::toUtf8;
    print("mode", std::to_string(static_cast<unsigned>(outcome.mode)));
    print("curlCode", std::to_string(outcome.curlCode));
    print("httpStatus", std::to_string(outcome.httpStatus));
    print("elapsedMs", std::to_string(outcome.elapsedMs));
    print("peerIp", toUtf8(outcome.peerIp));
    print("detail", toUtf8(outcome.detail));
    print("category", std::to_string(static_cast<int>(outcome.category)));
    print("target", toUtf8(outcome.target));
    print("bodyBytes", std::to_string(outcome.body.size()));
    print("bodySha256",
          outcome.body.empty() ? "" : toUtf8(veskpatch::sha256ToHex(veskpatch::sha256Digest(outcome.body))));
    print("dnsMs", std::to_string(outcome.dnsMs));
    print("connectMs", std::to_string(outcome.connectMs));
    print("tlsMs", std::to_string(outcome.tlsMs));
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::fprintf(stderr, "usage: fetch-tool URL ipv4|system CAP [--cancel-before | --cancel-after-ms N]\n");
        return 64;
    }
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return 70;
    CancelFlag cancel{arguments.cancelBefore};
    const vesktest::DelayedCancel canceller(cancel, arguments.cancelAfterMs);
    const FetchOutcome outcome = fetchUrl(arguments.mode, cancel, arguments.url, arguments.cap);
    printOutcome(outcome);
    std::fflush(stdout);
    curl_global_cleanup();
    return 0;
}
