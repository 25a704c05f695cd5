#include "app/process_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "common/owned.h"
#include "common/win_text.h"

namespace veskcheck {
std::vector<std::u16string> processArguments() {
    int count = 0;
    const Owned<LPWSTR*, LocalFree> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::u16string> texts;
    for (int i = 0; arguments.get() != nullptr && i < count; ++i) texts.push_back(fromWide(arguments.get()[i]));
    return texts;
}

}  // namespace veskcheck
