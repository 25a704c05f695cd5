#include "driver_settings.h"

#include "common/utf8_encode.h"

namespace vesktest {

using veskcheck::utf8FromUtf16;

std::optional<DriverSettings> parseSettings(const std::vector<std::u16string>& arguments) {
    DriverSettings settings;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::u16string& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (option == u"--fake" && hasValue) settings.fakeProgram = arguments[++i];
        else if (option == u"--real" && hasValue) settings.realProgram = arguments[++i];
        else if (option == u"--work" && hasValue) settings.workFolder = arguments[++i];
        else if (option == u"--dpi" && hasValue) settings.dpi = std::stoi(utf8FromUtf16(arguments[++i]));
        else settings.cases.push_back(utf8FromUtf16(option));
    }
    if (settings.workFolder.empty() || settings.cases.empty()) return std::nullopt;
    return settings;
}

}  // namespace vesktest
