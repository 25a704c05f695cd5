#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "certpath/probe_deadline.h"

namespace veskcheck {

// The probe's TCP connection to one numeric address. The socket is non-blocking and every wait
// goes through the deadline, so no call here blocks past a poll slice. Failures are thrown as
// Failure with the platform's own socket error codes.
class ProbeSocket {
public:
    // Converts the address without any name lookup ("对端地址"), creates the socket ("创建连接")
    // and connects ("连接" at once, "连接对端" after the wait).
    ProbeSocket(const std::u16string& peerIp, std::uint16_t port, const ProbeDeadline& deadline);
    ~ProbeSocket();
    ProbeSocket(const ProbeSocket&) = delete;
    ProbeSocket& operator=(const ProbeSocket&) = delete;

    // Sends every byte ("发送握手数据").
    void sendAll(std::span<const unsigned char> bytes);

    // Waits for and receives at least one byte into `chunk`, answering how many ("接收握手数据";
    // a server that closed the connection gives the code 38).
    std::size_t receive(std::span<unsigned char> chunk);

private:
    struct Connection;  // the platform's address list and socket, released socket first
    const ProbeDeadline& deadline_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace veskcheck
