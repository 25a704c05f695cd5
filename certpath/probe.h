#pragma once

#include <cstdint>
#include <string>

#include "common/cancel_flag.h"

namespace veskcheck {

// Opens a TLS 1.2 connection of its own to `peerIp` (a numeric address; never looked up) on
// `port` with `hostName` as the server name, lets the system judge the certificate path the server
// presented, and returns the report block for that address, ending in "\r\n". Every failure,
// including a cancel and the 6-second budget running out, becomes a single report line instead:
// the probe never throws a standard exception. The socket layer must already be initialised.
std::u16string probeCertificatePath(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                    const CancelFlag& cancel);

}  // namespace veskcheck
