#include "certpath/probe.h"

#include <exception>

#include "certpath/chain_words.h"
#include "certpath/failure.h"
#include "certpath/probe_steps.h"
#include "certpath/probe_handshake.h"
#include "common/joined_text.h"

namespace veskcheck {
namespace {

constexpr std::size_t handshakeInputLimit = 262144;

}  // namespace

void checkHandshakeInput(std::size_t held, std::size_t received) {
    if (held > handshakeInputLimit || received > handshakeInputLimit - held)
        throw Failure{steps::handshakeTooLarge, codes::bufferOverflow};
}

// The handshake's resources all live inside handshakeAndDescribe, so they are released before
// either failure line is built here.
std::u16string probeCertificatePath(const std::u16string& peerIp, std::uint16_t port, const std::u16string& hostName,
                                    const CancelFlag& cancel) {
    try {
        const ProbeDeadline deadline = startProbeDeadline(cancel);
        deadline.check();
        return handshakeAndDescribe(peerIp, port, hostName, deadline);
    } catch (const Failure& failure) {
        return joined({chainWords::failure, failure.step, chainWords::failureCode, statusCodeText(failure.code),
                       chainWords::failureEnd, u"\r\n"});
    } catch (const std::exception&) {
        return joined({chainWords::failure, chainWords::analysisFailed, chainWords::failureEndWithoutCode, u"\r\n"});
    }
}

}  // namespace veskcheck
