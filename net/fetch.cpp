#include "net/fetch.h"

#include <curl/curl.h>

#include <cstring>
#include <stdexcept>

#include "common/owned.h"
#include "common/tick_clock.h"
#include "net/cancellable_transfer.h"
#include "net/classify.h"
#include "net/curl_codes.h"
#include "net/fetch_rules.h"
#include "net/socket_addresses.h"
#include "net/socket_peer.h"

namespace veskcheck {
namespace {

constexpr long connectTimeoutMs = 15000;
constexpr long totalTimeoutMs = 20000;
constexpr char userAgent[] = "VeskAutoPatch";
static_assert(curlOk == CURLE_OK && curlCouldntResolveHost == CURLE_COULDNT_RESOLVE_HOST &&
                  curlCouldntConnect == CURLE_COULDNT_CONNECT && curlPartialFile == CURLE_PARTIAL_FILE &&
                  curlOperationTimedOut == CURLE_OPERATION_TIMEDOUT && curlSslConnectError == CURLE_SSL_CONNECT_ERROR &&
                  curlAbortedByCallback == CURLE_ABORTED_BY_CALLBACK && curlGotNothing == CURLE_GOT_NOTHING &&
                  curlSendError == CURLE_SEND_ERROR && curlRecvError == CURLE_RECV_ERROR &&
                  curlSslCertProblem == CURLE_SSL_CERTPROBLEM &&
                  curlPeerFailedVerification == CURLE_PEER_FAILED_VERIFICATION &&
                  curlFileSizeExceeded == CURLE_FILESIZE_EXCEEDED && curlSslCacertBadFile == CURLE_SSL_CACERT_BADFILE &&
                  curlSslIssuerError == CURLE_SSL_ISSUER_ERROR,
              "the diagnosis names libcurl's result codes by their numbers");

using EasyHandle = Owned<CURL*, curl_easy_cleanup>;

std::size_t writeBody(char* data, std::size_t size, std::size_t nmemb, void* user) {
    return takeBlock(*static_cast<BodySink*>(user), data, size, nmemb);
}

// Opens the socket as libcurl would have and notes the address it is opened for. Nothing changes
// on the wire.
curl_socket_t openConnection(void* user, curlsocktype, curl_sockaddr* address) {
    const curl_socket_t socket = openSocket(*address);
    if (socket == CURL_SOCKET_BAD) return socket;
    try {
        static_cast<SocketAddresses*>(user)->opened(socket, numericAddress(*address));
    } catch (...) {
        // Without memory for the text the address is simply not known; the socket is still used.
    }
    return socket;
}

int closeConnection(void* user, curl_socket_t socket) {
    static_cast<SocketAddresses*>(user)->closed(socket);
    return closeSocket(socket);
}

// A non-zero return makes libcurl abort with CURLE_ABORTED_BY_CALLBACK.
int reportProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const CancelFlag*>(user)->load() ? 1 : 0;
}

template <typename Value>
void setOption(CURL* curl, CURLoption option, Value value) {
    if (curl_easy_setopt(curl, option, value) != CURLE_OK) throw std::runtime_error("curl option");
}

void setOptions(CURL* curl, const std::string& url, ConnectionMode mode, BodySink& sink, char* errorBuffer,
                const CancelFlag& cancel, SocketAddresses& sockets) {
    setOption(curl, CURLOPT_URL, url.c_str());
    setOption(curl, CURLOPT_PROTOCOLS_STR, "https");
    setOption(curl, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(curl, CURLOPT_WRITEFUNCTION, &writeBody);
    setOption(curl, CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    setOption(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sink.maxBytes));
    setOption(curl, CURLOPT_IPRESOLVE, static_cast<long>(mode));
    setOption(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    setOption(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    setOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    setOption(curl, CURLOPT_USERAGENT, userAgent);
    setOption(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    setOption(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    setOption(curl, CURLOPT_TIMEOUT_MS, totalTimeoutMs);
    setOption(curl, CURLOPT_NOSIGNAL, 1L);
    setOption(curl, CURLOPT_NOPROGRESS, 0L);
    setOption(curl, CURLOPT_XFERINFOFUNCTION, &reportProgress);
    setOption(curl, CURLOPT_XFERINFODATA, const_cast<void*>(static_cast<const void*>(&cancel)));
    setOption(curl, CURLOPT_OPENSOCKETFUNCTION, &openConnection);
    setOption(curl, CURLOPT_OPENSOCKETDATA, static_cast<void*>(&sockets));
    setOption(curl, CURLOPT_CLOSESOCKETFUNCTION, &closeConnection);
    setOption(curl, CURLOPT_CLOSESOCKETDATA, static_cast<void*>(&sockets));
    // A name lookup the system never answers must not hold a cancelled or timed-out fetch: the
    // clean-up leaves libcurl's resolver thread to finish on its own instead of waiting for it.
    setOption(curl, CURLOPT_QUICK_EXIT, 1L);
}

std::int64_t phaseMs(CURL* curl, CURLINFO info) {
    curl_off_t microseconds = 0;
    curl_easy_getinfo(curl, info, &microseconds);
    return static_cast<std::int64_t>(microseconds) / 1000;
}

// The address of the connection that came up, if one did. libcurl reports it only once the whole
// connection, TLS included, is up, so a failed handshake would leave no address, and the
// certificate section would never look at the server whose certificate failed. libcurl counts a
// connection as soon as its TCP connect succeeds and closes the sockets that raced it right then,
// so the last socket it closes is that connection's, even one the server has reset. Sockets that
// never connected leave the count at 0, and no peer.
std::u16string peerAddress(CURL* curl, const SocketAddresses& sockets) {
    const char* primaryIp = nullptr;
    curl_easy_getinfo(curl, CURLINFO_PRIMARY_IP, &primaryIp);
    if (primaryIp != nullptr && *primaryIp != '\0') return reportedPeerAddress(primaryIp);
    long connections = 0;
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &connections);
    return connections > 0 ? reportedPeerAddress(sockets.lastClosed()) : std::u16string();
}

void readTransferInfo(CURL* curl, const SocketAddresses& sockets, FetchOutcome& outcome) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    outcome.httpStatus = static_cast<std::int32_t>(status);
    outcome.dnsMs = phaseMs(curl, CURLINFO_NAMELOOKUP_TIME_T);
    outcome.connectMs = phaseMs(curl, CURLINFO_CONNECT_TIME_T);
    outcome.tlsMs = phaseMs(curl, CURLINFO_APPCONNECT_TIME_T);
    outcome.peerIp = peerAddress(curl, sockets);
}

}  // namespace

FetchOutcome fetchUrl(ConnectionMode mode, const CancelFlag& cancel, const std::string& url, std::uint32_t maxBytes) {
    FetchOutcome outcome;
    outcome.mode = mode;
    if (cancel.load()) {
        outcome.curlCode = CURLE_ABORTED_BY_CALLBACK;
        outcome.category = FailureCategory::Cancelled;
        return outcome;
    }
    // What libcurl is handed a pointer to is made before the easy handle and so outlives it:
    // curl_easy_cleanup may still close a connection, and call back, when it runs.
    char errorBuffer[CURL_ERROR_SIZE] = {};
    BodySink sink;
    sink.maxBytes = maxBytes;
    SocketAddresses sockets;
    const EasyHandle curl(curl_easy_init());
    if (!curl) {
        outcome.curlCode = CURLE_FAILED_INIT;
        return outcome;
    }
    setOptions(curl.get(), url, mode, sink, errorBuffer, cancel, sockets);

    const std::uint64_t before = tickCountMs();
    outcome.curlCode = static_cast<std::int32_t>(performCancellable(curl.get(), cancel));
    outcome.elapsedMs = tickCountMs() - before;

    readTransferInfo(curl.get(), sockets, outcome);
    const std::string errorText(errorBuffer, strnlen(errorBuffer, sizeof(errorBuffer)));
    outcome.category = classifyOutcome(outcome.curlCode, outcome.httpStatus, errorText, outcome.detail);
    applyBodyRules(outcome, sink);
    return outcome;
}

}  // namespace veskcheck
