#pragma once

#include <curl/curl.h>

#include <string>

namespace veskcheck {

// Opens a socket for the address libcurl hands to its open-socket callback, as libcurl would open
// it itself; CURL_SOCKET_BAD when the system refuses one.
curl_socket_t openSocket(const curl_sockaddr& address);

// The numeric text of the address libcurl connects a socket to, as the system writes it; empty
// when the system cannot write it.
std::string numericAddress(const curl_sockaddr& address);

// Closes a socket that libcurl hands to its close-socket callback; 0 on success, as libcurl expects.
int closeSocket(curl_socket_t socket);

}  // namespace veskcheck
