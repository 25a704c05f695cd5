#pragma once

#include <string>
#include <string_view>

#include "net/fetch_outcome.h"

namespace veskcheck {

// The pieces of the report, in the order the run appends them. Every line ends in CR LF.

std::u16string headerLine();
std::u16string timeLines(std::u16string_view utcStamp, std::u16string_view localStamp);
std::u16string systemLine(std::u16string_view systemDescription);
std::u16string compatibilityLine(std::u16string_view wineVersion);
std::u16string scopeBlock(std::u16string_view cdnHost);
std::u16string componentLine(std::string_view libcurlVersion, std::string_view tlsBackend);
std::u16string internalErrorLine();
std::u16string adviceSection(std::u16string_view advice);
std::u16string diagnosticLine(const FetchOutcome& fetch);
std::u16string certificateHeading();
std::u16string addressHeading(std::u16string_view peerIp, std::u16string_view cdnHost);
std::u16string certificateCheckCancelledLine();
std::u16string noAddressLine();
std::u16string finalClassificationLine(const FetchOutcome& attempt);
std::u16string footer();

}  // namespace veskcheck
