#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/socket_addresses.h"

namespace veskcheck {
namespace {

// What libcurl does with sockets during one fetch: opens one for an address (empty: its address
// could not be noted) or closes one.
struct Step {
    bool open;
    curl_socket_t socket;
    const char* address;
};

Step opens(curl_socket_t socket, const char* address) { return {true, socket, address}; }
Step closes(curl_socket_t socket) { return {false, socket, ""}; }

TEST(SocketAddresses, TheLastClosedSocketGivesItsAddress) {
    const struct {
        const char* what;
        std::vector<Step> steps;
        const char* lastClosed;
    } cases[] = {
        {"nothing closed yet", {opens(5, "127.0.0.1")}, ""},
        {"one connection", {opens(5, "127.0.0.1"), closes(5)}, "127.0.0.1"},
        {"the loser of a race closes first",
         {opens(5, "::1"), opens(6, "127.0.0.1"), closes(5), closes(6)},
         "127.0.0.1"},
        {"a number used again", {opens(5, "::1"), closes(5), opens(5, "127.0.0.1"), closes(5)}, "127.0.0.1"},
        {"a socket whose address is not noted", {opens(5, "::1"), closes(5), closes(7)}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SocketAddresses sockets;
        for (const Step& step : c.steps) {
            if (step.open) sockets.opened(step.socket, step.address);
            else sockets.closed(step.socket);
        }
        EXPECT_EQ(sockets.lastClosed(), c.lastClosed);
    }
}

}  // namespace
}  // namespace veskcheck
