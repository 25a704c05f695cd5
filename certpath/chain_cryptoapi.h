#pragma once

#include <string>

#include "certpath/win_handles.h"

namespace veskcheck {

// Builds the chain of `certificate` (borrowed) with the machine's own trust and caches, without
// any network retrieval and without revocation checking, judges it with the SSL server policy for
// `hostName`, and writes the report block. Throws Failure when the chain cannot be built or
// judged; passes on PatchError and allocation failures.
std::u16string describeCertificateChain(PCCERT_CONTEXT certificate, const std::u16string& hostName);

// The cleaned common name of the certificate's subject, or of its issuer.
std::u16string certCommonName(PCCERT_CONTEXT certificate, bool issuer);

}  // namespace veskcheck
