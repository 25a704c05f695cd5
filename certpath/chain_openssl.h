#pragma once

#include <openssl/x509.h>

#include <string>

namespace veskcheck {

// Builds the chain of `certificate` (borrowed) with the default trust store, the certificates
// the server sent (`sent`, borrowed, may be null) as untrusted intermediates, purpose SSL server,
// no network and no revocation checking; judges it for `hostName` the way the SSL server policy
// would, and writes the report block. Throws Failure when the chain cannot be built; passes on
// PatchError and allocation failures.
std::u16string describeCertificateChain(X509* certificate, STACK_OF(X509) * sent, const std::u16string& hostName);

// The cleaned common name of the certificate's subject, or of its issuer.
std::u16string certCommonName(X509* certificate, bool issuer);

}  // namespace veskcheck
