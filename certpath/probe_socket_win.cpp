#include "certpath/probe_socket.h"

#include <string>

#include "certpath/failure.h"
#include "certpath/probe_handshake.h"
#include "certpath/win_handles.h"
#include "common/win_text.h"

namespace veskcheck {

struct ProbeSocket::Connection {
    AddressList addresses;
    Socket socket;
};

namespace {

std::uint32_t lastSocketError() { return static_cast<std::uint32_t>(WSAGetLastError()); }

// The address text is taken as a number only, so no name lookup can ever happen here.
void convertAddress(const std::u16string& peerIp, std::uint16_t port, AddressList& addresses) {
    const std::wstring service = std::to_wstring(port);
    ADDRINFOW hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const int result = GetAddrInfoW(wideText(peerIp), service.c_str(), &hints, addresses.out());
    if (result != 0) throw Failure{u"对端地址", static_cast<std::uint32_t>(result)};
    if (addresses.get() == nullptr) throw Failure{u"对端地址", 0};
}

void openNonBlocking(const ADDRINFOW& address, Socket& socket) {
    *socket.out() = ::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    if (socket.get() == INVALID_SOCKET || ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0)
        throw Failure{u"创建连接", lastSocketError()};
}

// 0 while the connection is still pending or when it succeeded; the failure otherwise.
int pendingConnectError(SOCKET socket, bool& readFailed) {
    int error = 0;
    int length = sizeof(error);
    readFailed = getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0;
    return error;
}

// One poll slice on one socket: whether it became ready.
bool pollSlice(SOCKET socket, SHORT events, int sliceMs) {
    WSAPOLLFD descriptor{socket, events, 0};
    const int ready = WSAPoll(&descriptor, 1, sliceMs);
    if (ready < 0) throw Failure{u"等待网络", lastSocketError()};
    return ready > 0;
}

void waitFor(const ProbeDeadline& deadline, SOCKET socket, SHORT events) {
    deadline.waitFor([&](int sliceMs) { return pollSlice(socket, events, sliceMs); });
}

// WSAPoll before Windows 10 2004 never reports a connection that failed, so a refused
// connection would otherwise wait out the whole budget; SO_ERROR is looked at after every quiet
// slice and ends the wait as soon as it holds an error.
void waitForConnection(const ProbeDeadline& deadline, SOCKET socket) {
    deadline.waitFor([&](int sliceMs) {
        bool readFailed = false;
        return pollSlice(socket, POLLWRNORM, sliceMs) || pendingConnectError(socket, readFailed) != 0 || readFailed;
    });
}

void connectTo(const ADDRINFOW& address, SOCKET socket, const ProbeDeadline& deadline) {
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return;
    if (WSAGetLastError() != WSAEWOULDBLOCK) throw Failure{u"连接", lastSocketError()};
    waitForConnection(deadline, socket);
    bool readFailed = false;
    const int error = pendingConnectError(socket, readFailed);
    if (error != 0) throw Failure{u"连接对端", static_cast<std::uint32_t>(error)};
    if (readFailed) throw Failure{u"连接对端", lastSocketError()};
}

}  // namespace

ProbeSocket::ProbeSocket(const std::u16string& peerIp, std::uint16_t port, const ProbeDeadline& deadline)
    : deadline_(deadline), connection_(std::make_unique<Connection>()) {
    convertAddress(peerIp, port, connection_->addresses);
    const ADDRINFOW& first = *connection_->addresses.get();
    openNonBlocking(first, connection_->socket);
    connectTo(first, connection_->socket.get(), deadline_);
}

ProbeSocket::~ProbeSocket() = default;

void ProbeSocket::sendAll(std::span<const unsigned char> bytes) {
    const SOCKET socket = connection_->socket.get();
    for (std::size_t sent = 0; sent < bytes.size();) {
        waitFor(deadline_, socket, POLLWRNORM);
        const int result = send(socket, reinterpret_cast<const char*>(bytes.data() + sent),
                                static_cast<int>(bytes.size() - sent), 0);
        if (result < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (result <= 0) throw Failure{u"发送握手数据", lastSocketError()};
        sent += static_cast<std::size_t>(result);
    }
}

std::size_t ProbeSocket::receive(std::span<unsigned char> chunk) {
    const SOCKET socket = connection_->socket.get();
    int result = 0;
    do {
        waitFor(deadline_, socket, POLLRDNORM);
        result = recv(socket, reinterpret_cast<char*>(chunk.data()), static_cast<int>(chunk.size()), 0);
    } while (result < 0 && WSAGetLastError() == WSAEWOULDBLOCK);
    if (result == 0) throw Failure{u"接收握手数据", serverClosedCode};
    if (result < 0) throw Failure{u"接收握手数据", lastSocketError()};
    return static_cast<std::size_t>(result);
}

}  // namespace veskcheck
