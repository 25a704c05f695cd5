#pragma once

// The driver's cases by name. Each group of cases lists its own, beside the cases themselves, so
// that adding a case touches the one file of its group.
#include <span>
#include <string>

#include "driver_case.h"

namespace vesktest {

struct CaseEntry {
    const char* name;
    void (*run)(Case&);
};

std::span<const CaseEntry> windowStateCases();
std::span<const CaseEntry> reportActionCases();
std::span<const CaseEntry> realProgramCases();
std::span<const CaseEntry> soakCases();

// The case of that name in any group, or null.
const CaseEntry* findCase(const std::string& name);

}  // namespace vesktest
