#include "net/socket_peer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace veskcheck {

curl_socket_t openSocket(const curl_sockaddr& address) {
    return socket(address.family, address.socktype, address.protocol);
}

std::string numericAddress(const curl_sockaddr& address) {
    char text[NI_MAXHOST] = {};
    if (getnameinfo(&address.addr, static_cast<socklen_t>(address.addrlen), text, sizeof(text), nullptr, 0,
                    NI_NUMERICHOST) != 0)
        return {};
    return text;
}

int closeSocket(curl_socket_t socket) { return closesocket(socket); }

}  // namespace veskcheck
