#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "certpath/probe_deadline.h"

namespace veskcheck {

constexpr std::size_t receiveChunkBytes = 16384;

// Connects, performs the TLS 1.2 client handshake and returns the chain analysis block; the
// platform's half of the probe. Everything it acquires is released before a Failure leaves it.
std::u16string handshakeAndDescribe(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                    const ProbeDeadline& deadline);

// Throws Failure "握手数据超限" (ERROR_BUFFER_OVERFLOW) when `held` unconsumed handshake bytes plus `received` new
// ones would exceed 262144; exactly 262144 may be held.
void checkHandshakeInput(std::size_t held, std::size_t received);

}  // namespace veskcheck
