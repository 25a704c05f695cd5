#include "certpath/probe_socket.h"

#include "certpath/failure.h"
#include "certpath/probe_steps.h"

namespace veskcheck {

ProbeSocket::ProbeSocket(const std::u16string& peerIp, std::uint16_t port, const ProbeDeadline& deadline)
    : deadline_(deadline), connection_(newConnection()) {
    resolveNumeric(peerIp, port);
    createSocket();
    connectToPeer();
}

ProbeSocket::~ProbeSocket() = default;

// The address text is taken as a number only, so no name lookup can ever happen here.
void ProbeSocket::resolveNumeric(const std::u16string& peerIp, std::uint16_t port) {
    const int result = lookUpNumeric(peerIp, port);
    if (result != 0) throw Failure{steps::peerAddress, static_cast<std::uint32_t>(result)};
    if (!hasAddress()) throw Failure{steps::peerAddress, 0};
}

void ProbeSocket::waitUntilReady(Direction direction) const {
    deadline_.waitFor([&](int sliceMs) { return pollSlice(direction, sliceMs); });
}

ProbeSocket::Transfer ProbeSocket::transferOf(std::ptrdiff_t result) {
    if (result > 0) return {static_cast<std::size_t>(result)};
    if (result < 0 && lastCallToRepeat()) return {0, true};
    return {0, false, result < 0 ? lastCallError() : 0};
}

void ProbeSocket::sendAll(std::span<const unsigned char> bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        waitUntilReady(Direction::Send);
        const Transfer transfer = transferOf(sendSome(bytes.subspan(sent)));
        if (transfer.again) continue;
        if (transfer.bytes == 0) throw Failure{steps::sendHandshake, transfer.error};
        sent += transfer.bytes;
    }
}

std::size_t ProbeSocket::receive(std::span<unsigned char> chunk) {
    Transfer transfer;
    do {
        waitUntilReady(Direction::Receive);
        transfer = transferOf(receiveSome(chunk));
    } while (transfer.again);
    if (transfer.bytes == 0)
        throw Failure{steps::receiveHandshake, transfer.error != 0 ? transfer.error : codes::serverClosed};
    return transfer.bytes;
}

}  // namespace veskcheck
