#include "case_table.h"

#include <algorithm>

namespace vesktest {

const CaseEntry* findCase(const std::string& name) {
    for (const std::span<const CaseEntry> group :
         {windowStateCases(), reportActionCases(), realProgramCases(), soakCases()}) {
        const auto found = std::ranges::find_if(group, [&](const CaseEntry& entry) { return name == entry.name; });
        if (found != group.end()) return &*found;
    }
    return nullptr;
}

}  // namespace vesktest
