#pragma once

#include <curl/curl.h>

#include <string>
#include <utility>
#include <vector>

namespace veskcheck {

// The address each socket libcurl opened for one fetch was opened for, and the address of the last
// socket it closed. A socket's own peer is no help once the server has reset the connection: the
// system then forgets it, so the address is taken when libcurl opens the socket.
class SocketAddresses {
public:
    void opened(curl_socket_t socket, std::string address);
    // A socket opened without a known address leaves the last address empty, never an older one.
    void closed(curl_socket_t socket) noexcept;
    const std::string& lastClosed() const { return lastClosed_; }

private:
    std::vector<std::pair<curl_socket_t, std::string>> open_;
    std::string lastClosed_;
};

}  // namespace veskcheck
