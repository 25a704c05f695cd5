#pragma once

#include <string>
#include <vector>

#include "net/fetch_outcome.h"

namespace veskcheck {

// The result of one check run. Moved, never copied.
struct CheckReport {
    std::vector<FetchOutcome> attempts;  // one summary per mode tried, Ipv4Only first; no bodies
    std::u16string advice;               // what the window shows
    std::u16string reportText;           // what is saved, copied or written
    bool showTimeSettings = false;       // whether the window offers the date and time settings
};

}  // namespace veskcheck
