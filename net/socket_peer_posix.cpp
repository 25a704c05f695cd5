#include "net/socket_peer.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veskcheck {

std::string connectedPeerAddress(curl_socket_t socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof(peer);
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char text[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), length, text, sizeof(text), nullptr, 0, NI_NUMERICHOST) !=
        0)
        return {};
    return text;
}

int closeSocket(curl_socket_t socket) { return close(socket); }

}  // namespace veskcheck
