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
    enum class Direction { Send, Receive };

    // What one send or receive call did: bytes moved, or nothing yet (call again once ready), or
    // nothing at all, with the platform's error code (0: the server closed the connection).
    struct Transfer {
        std::size_t bytes = 0;
        bool again = false;
        std::uint32_t error = 0;
    };

    // Waits in poll slices, through the deadline, until the socket is ready for `direction`.
    void waitUntilReady(Direction direction) const;
    // What a send or receive call's result means.
    static Transfer transferOf(std::ptrdiff_t result);

    // The platform's primitives, in each platform's socket file.
    struct Connection;          // the platform's address list and socket, released socket first
    struct ConnectionRelease {  // the platform's file knows what a connection holds
        void operator()(Connection* connection) const noexcept;
    };
    static std::unique_ptr<Connection, ConnectionRelease> newConnection();
    void resolveNumeric(const std::u16string& peerIp, std::uint16_t port);  // "对端地址"
    int lookUpNumeric(const std::u16string& peerIp, std::uint16_t port);    // the system's result
    bool hasAddress() const;                                                // the lookup gave one
    void createSocket();                                                    // "创建连接"
    void connectToPeer();                                                   // "连接", "连接对端"
    bool pollSlice(Direction direction, int sliceMs) const;                 // ready within the slice
    std::ptrdiff_t sendSome(std::span<const unsigned char> bytes);          // the system call's result
    std::ptrdiff_t receiveSome(std::span<unsigned char> chunk);
    static bool lastCallToRepeat();        // it would have blocked, or a signal interrupted it
    static std::uint32_t lastCallError();  // the platform's error code of the last call

    const ProbeDeadline& deadline_;
    std::unique_ptr<Connection, ConnectionRelease> connection_;
};

}  // namespace veskcheck
