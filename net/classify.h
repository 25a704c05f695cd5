#pragma once

#include <cstdint>
#include <string>

#include "common/failure_category.h"

namespace veskcheck {

// Decides the category of one fetch from libcurl's result code, the HTTP status (0 when no
// response arrived) and the text libcurl left in its error buffer. `detail` is always cleared and
// receives the recognised Windows certificate error name when the TLS back end's text names one.
FailureCategory classifyOutcome(std::int32_t curlCode, std::int32_t httpStatus, const std::string& errorText,
                                std::u16string& detail);

}  // namespace veskcheck
