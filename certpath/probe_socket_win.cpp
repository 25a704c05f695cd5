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

// What SO_ERROR says of a pending connection. Reading it clears it, so what one look finds is
// kept and carried to the caller instead of being read again.
struct ConnectState {
    std::uint32_t error = 0;      // the connection's failure, once there is one
    std::uint32_t readError = 0;  // why SO_ERROR could not be read
    bool failed() const { return error != 0 || readError != 0; }
};

ConnectState readConnectState(SOCKET socket) {
    ConnectState state;
    int error = 0;
    int length = sizeof(error);
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        state.readError = lastSocketError();
    state.error = static_cast<std::uint32_t>(error);
    return state;
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
// connection would otherwise wait out the whole budget: SO_ERROR is looked at after every slice,
// and the wait ends when the socket became writable or that look found a failure.
ConnectState waitForConnection(const ProbeDeadline& deadline, SOCKET socket) {
    ConnectState state;
    deadline.waitFor([&](int sliceMs) {
        const bool writable = pollSlice(socket, POLLWRNORM, sliceMs);
        state = readConnectState(socket);
        return writable || state.failed();
    });
    return state;
}

void connectTo(const ADDRINFOW& address, SOCKET socket, const ProbeDeadline& deadline) {
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return;
    if (WSAGetLastError() != WSAEWOULDBLOCK) throw Failure{u"连接", lastSocketError()};
    const ConnectState state = waitForConnection(deadline, socket);
    if (state.error != 0) throw Failure{u"连接对端", state.error};
    if (state.readError != 0) throw Failure{u"连接对端", state.readError};
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
