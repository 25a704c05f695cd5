#include "net/socket_addresses.h"

#include <algorithm>

namespace veskcheck {

void SocketAddresses::opened(curl_socket_t socket, std::string address) {
    open_.emplace_back(socket, std::move(address));
}

void SocketAddresses::closed(curl_socket_t socket) noexcept {
    const auto entry =
        std::find_if(open_.begin(), open_.end(), [socket](const auto& open) { return open.first == socket; });
    if (entry == open_.end()) {
        lastClosed_.clear();
        return;
    }
    lastClosed_ = std::move(entry->second);
    open_.erase(entry);
}

}  // namespace veskcheck
