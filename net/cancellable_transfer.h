#pragma once

#include <curl/curl.h>

#include "common/cancel_flag.h"

namespace veskcheck {

// Performs the transfer of a configured easy handle as curl_easy_perform does, on the same
// multi loop, and ends it with CURLE_ABORTED_BY_CALLBACK within one poll slice of the cancel flag
// being set, whatever stage it is in. libcurl calls the progress callback only once the
// connection is up, so a cancel during the name lookup, the TCP connect or the TLS handshake
// would otherwise wait for the time limits.
CURLcode performCancellable(CURL* easy, const CancelFlag& cancel);

}  // namespace veskcheck
