#pragma once

#include <curl/curl.h>

#include <string>

namespace veskcheck {

// The numeric address of the peer a socket is connected to, as the system writes it; empty for a
// socket that never connected.
std::string connectedPeerAddress(curl_socket_t socket);

// Closes a socket that libcurl hands to its close-socket callback; 0 on success, as libcurl expects.
int closeSocket(curl_socket_t socket);

}  // namespace veskcheck
