#include "certpath/probe_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "common/owned.h"
#include "common/utf8_encode.h"

namespace veskcheck {
namespace {

using AddressList = Owned<addrinfo*, freeaddrinfo>;
using SocketDescriptor = Owned<int, close, -1>;

std::uint32_t lastSocketError() { return static_cast<std::uint32_t>(errno); }

// One poll slice on one socket: whether it became ready. An interrupted poll counts as a quiet
// slice.
bool pollSocket(int socket, short events, int sliceMs) {
    pollfd descriptor{socket, events, 0};
    const int ready = poll(&descriptor, 1, sliceMs);
    if (ready < 0 && errno != EINTR) throw Failure{steps::waitForNetwork, lastSocketError()};
    return ready > 0;
}

}  // namespace

struct ProbeSocket::Connection {
    AddressList addresses;
    SocketDescriptor socket;
};

void ProbeSocket::ConnectionRelease::operator()(Connection* connection) const noexcept { delete connection; }

std::unique_ptr<ProbeSocket::Connection, ProbeSocket::ConnectionRelease> ProbeSocket::newConnection() {
    return std::unique_ptr<Connection, ConnectionRelease>(new Connection);
}

int ProbeSocket::lookUpNumeric(const std::u16string& peerIp, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    AddressList& addresses = connection_->addresses;
    const int result =
        getaddrinfo(utf8FromUtf16(peerIp).c_str(), std::to_string(port).c_str(), &hints, addresses.put());
    if (result != 0) addresses.detach();  // a failed call leaves no list to free
    return result;
}

bool ProbeSocket::hasAddress() const { return connection_->addresses.get() != nullptr; }

void ProbeSocket::createSocket() {
    const addrinfo& address = *connection_->addresses.get();
    SocketDescriptor& socket = connection_->socket;
    *socket.put() = ::socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket.get() < 0) throw Failure{steps::createConnection, lastSocketError()};
    const int flags = fcntl(socket.get(), F_GETFL);
    if (flags < 0 || fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK) != 0)
        throw Failure{steps::createConnection, lastSocketError()};
}

void ProbeSocket::connectToPeer() {
    const addrinfo& address = *connection_->addresses.get();
    const int socket = connection_->socket.get();
    if (connect(socket, address.ai_addr, address.ai_addrlen) == 0) return;
    if (errno != EINPROGRESS && errno != EINTR) throw Failure{steps::connect, lastSocketError()};
    deadline_.waitFor([&](int sliceMs) { return pollSocket(socket, POLLWRNORM, sliceMs); });
    int error = 0;
    socklen_t length = sizeof(error);
    const bool readFailed = getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0;
    if (error != 0) throw Failure{steps::connectToPeer, static_cast<std::uint32_t>(error)};
    if (readFailed) throw Failure{steps::connectToPeer, lastSocketError()};
}

bool ProbeSocket::pollSlice(Direction direction, int sliceMs) const {
    return pollSocket(connection_->socket.get(), direction == Direction::Send ? POLLWRNORM : POLLRDNORM, sliceMs);
}

// A server that has gone away must give a failure line, not a SIGPIPE that ends the program.
std::ptrdiff_t ProbeSocket::sendSome(std::span<const unsigned char> bytes) {
    return send(connection_->socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::ptrdiff_t ProbeSocket::receiveSome(std::span<unsigned char> chunk) {
    return recv(connection_->socket.get(), chunk.data(), chunk.size(), 0);
}

// A signal arriving mid-call is not a network failure: the call is simply made again.
bool ProbeSocket::lastCallToRepeat() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

std::uint32_t ProbeSocket::lastCallError() { return lastSocketError(); }

}  // namespace veskcheck
