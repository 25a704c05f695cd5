#include "certpath/probe_socket.h"

#include <string>

#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "certpath/win_handles.h"
#include "common/win_text.h"

namespace veskcheck {

struct ProbeSocket::Connection {
    AddressList addresses;
    Socket socket;
};

namespace {

std::uint32_t lastSocketError() { return static_cast<std::uint32_t>(WSAGetLastError()); }

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
bool pollSocket(SOCKET socket, SHORT events, int sliceMs) {
    WSAPOLLFD descriptor{socket, events, 0};
    const int ready = WSAPoll(&descriptor, 1, sliceMs);
    if (ready < 0) throw Failure{steps::waitForNetwork, lastSocketError()};
    return ready > 0;
}

// WSAPoll before Windows 10 2004 never reports a connection that failed, so a refused
// connection would otherwise wait out the whole budget: SO_ERROR is looked at after every slice,
// and the wait ends when the socket became writable or that look found a failure.
ConnectState waitForConnection(const ProbeDeadline& deadline, SOCKET socket) {
    ConnectState state;
    deadline.waitFor([&](int sliceMs) {
        const bool writable = pollSocket(socket, POLLWRNORM, sliceMs);
        state = readConnectState(socket);
        return writable || state.failed();
    });
    return state;
}

}  // namespace

void ProbeSocket::ConnectionRelease::operator()(Connection* connection) const noexcept { delete connection; }

std::unique_ptr<ProbeSocket::Connection, ProbeSocket::ConnectionRelease> ProbeSocket::newConnection() {
    return std::unique_ptr<Connection, ConnectionRelease>(new Connection);
}

int ProbeSocket::lookUpNumeric(const std::u16string& peerIp, std::uint16_t port) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    AddressList& addresses = connection_->addresses;
    const int result = GetAddrInfoW(wideText(peerIp), std::to_wstring(port).c_str(), &hints, addresses.put());
    if (result != 0) addresses.detach();  // a failed call leaves no list to free
    return result;
}

bool ProbeSocket::hasAddress() const { return connection_->addresses.get() != nullptr; }

void ProbeSocket::createSocket() {
    const ADDRINFOW& address = *connection_->addresses.get();
    Socket& socket = connection_->socket;
    *socket.put() = ::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    if (socket.get() == INVALID_SOCKET || ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0)
        throw Failure{steps::createConnection, lastSocketError()};
}

void ProbeSocket::connectToPeer() {
    const ADDRINFOW& address = *connection_->addresses.get();
    const SOCKET socket = connection_->socket.get();
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return;
    if (WSAGetLastError() != WSAEWOULDBLOCK) throw Failure{steps::connect, lastSocketError()};
    const ConnectState state = waitForConnection(deadline_, socket);
    if (state.error != 0) throw Failure{steps::connectToPeer, state.error};
    if (state.readError != 0) throw Failure{steps::connectToPeer, state.readError};
}

bool ProbeSocket::pollSlice(Direction direction, int sliceMs) const {
    return pollSocket(connection_->socket.get(), direction == Direction::Send ? POLLWRNORM : POLLRDNORM, sliceMs);
}

std::ptrdiff_t ProbeSocket::sendSome(std::span<const unsigned char> bytes) {
    return send(connection_->socket.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                0);
}

std::ptrdiff_t ProbeSocket::receiveSome(std::span<unsigned char> chunk) {
    return recv(connection_->socket.get(), reinterpret_cast<char*>(chunk.data()), static_cast<int>(chunk.size()), 0);
}

bool ProbeSocket::lastCallToRepeat() { return WSAGetLastError() == WSAEWOULDBLOCK; }

std::uint32_t ProbeSocket::lastCallError() { return lastSocketError(); }

}  // namespace veskcheck
