#include "certpath/probe_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "certpath/failure.h"
#include "common/owned.h"
#include "certpath/probe_handshake.h"
#include "common/utf8_encode.h"

namespace veskcheck {
namespace {

using AddressList = Owned<addrinfo*, freeaddrinfo>;
using SocketDescriptor = Owned<int, close, -1>;

std::uint32_t lastSocketError() { return static_cast<std::uint32_t>(errno); }

// A signal arriving mid-call is not a network failure: the call is simply made again.
bool tryAgain() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// The address text is taken as a number only, so no name lookup can ever happen here.
void convertAddress(const std::u16string& peerIp, std::uint16_t port, AddressList& addresses) {
    const std::string node = utf8FromUtf16(peerIp);
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const int result = getaddrinfo(node.c_str(), service.c_str(), &hints, addresses.out());
    if (result != 0) throw Failure{u"对端地址", static_cast<std::uint32_t>(result)};
    if (addresses.get() == nullptr) throw Failure{u"对端地址", 0};
}

void openNonBlocking(const addrinfo& address, SocketDescriptor& socket) {
    *socket.out() = ::socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket.get() < 0) throw Failure{u"创建连接", lastSocketError()};
    const int flags = fcntl(socket.get(), F_GETFL);
    if (flags < 0 || fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK) != 0) throw Failure{u"创建连接", lastSocketError()};
}

// One poll slice on one socket: whether it became ready. An interrupted poll counts as a quiet
// slice.
bool pollSlice(int socket, short events, int sliceMs) {
    pollfd descriptor{socket, events, 0};
    const int ready = poll(&descriptor, 1, sliceMs);
    if (ready < 0 && errno != EINTR) throw Failure{u"等待网络", lastSocketError()};
    return ready > 0;
}

void waitFor(const ProbeDeadline& deadline, int socket, short events) {
    deadline.waitFor([&](int sliceMs) { return pollSlice(socket, events, sliceMs); });
}

void connectTo(const addrinfo& address, int socket, const ProbeDeadline& deadline) {
    if (connect(socket, address.ai_addr, address.ai_addrlen) == 0) return;
    if (errno != EINPROGRESS && errno != EINTR) throw Failure{u"连接", lastSocketError()};
    waitFor(deadline, socket, POLLWRNORM);
    int error = 0;
    socklen_t length = sizeof(error);
    const bool readFailed = getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0;
    if (error != 0) throw Failure{u"连接对端", static_cast<std::uint32_t>(error)};
    if (readFailed) throw Failure{u"连接对端", lastSocketError()};
}

}  // namespace

struct ProbeSocket::Connection {
    AddressList addresses;
    SocketDescriptor socket;
};

ProbeSocket::ProbeSocket(const std::u16string& peerIp, std::uint16_t port, const ProbeDeadline& deadline)
    : deadline_(deadline), connection_(std::make_unique<Connection>()) {
    convertAddress(peerIp, port, connection_->addresses);
    const addrinfo& first = *connection_->addresses.get();
    openNonBlocking(first, connection_->socket);
    connectTo(first, connection_->socket.get(), deadline_);
}

ProbeSocket::~ProbeSocket() = default;

void ProbeSocket::sendAll(std::span<const unsigned char> bytes) {
    const int socket = connection_->socket.get();
    for (std::size_t sent = 0; sent < bytes.size();) {
        waitFor(deadline_, socket, POLLWRNORM);
        // A server that has gone away must give a failure line, not a SIGPIPE that ends the program.
        const ssize_t result = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (result < 0 && tryAgain()) continue;
        if (result <= 0) throw Failure{u"发送握手数据", lastSocketError()};
        sent += static_cast<std::size_t>(result);
    }
}

std::size_t ProbeSocket::receive(std::span<unsigned char> chunk) {
    const int socket = connection_->socket.get();
    ssize_t result = 0;
    do {
        waitFor(deadline_, socket, POLLRDNORM);
        result = recv(socket, chunk.data(), chunk.size(), 0);
    } while (result < 0 && tryAgain());
    if (result == 0) throw Failure{u"接收握手数据", serverClosedCode};
    if (result < 0) throw Failure{u"接收握手数据", lastSocketError()};
    return static_cast<std::size_t>(result);
}

}  // namespace veskcheck
