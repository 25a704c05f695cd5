#pragma once

// Owners for OpenSSL objects: each is freed on every way out by its own free function.
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "common/owned.h"

namespace veskcheck {

template <typename T, auto release>
using OpenSslOwned = Owned<T*, release>;

using EvpMd = OpenSslOwned<EVP_MD, EVP_MD_free>;
using EvpMdContext = OpenSslOwned<EVP_MD_CTX, EVP_MD_CTX_free>;
using EvpPkey = OpenSslOwned<EVP_PKEY, EVP_PKEY_free>;
using EvpPkeyContext = OpenSslOwned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using BigNumber = OpenSslOwned<BIGNUM, BN_free>;
using ParamBuilder = OpenSslOwned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using Params = OpenSslOwned<OSSL_PARAM, OSSL_PARAM_free>;
using Bio = OpenSslOwned<BIO, BIO_free>;
using Ssl = OpenSslOwned<SSL, SSL_free>;
using SslContext = OpenSslOwned<SSL_CTX, SSL_CTX_free>;
using X509Certificate = OpenSslOwned<X509, X509_free>;
using X509Store = OpenSslOwned<X509_STORE, X509_STORE_free>;
using X509StoreContext = OpenSslOwned<X509_STORE_CTX, X509_STORE_CTX_free>;

}  // namespace veskcheck
