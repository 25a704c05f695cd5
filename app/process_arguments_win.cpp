#include "app/process_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "common/win_text.h"

namespace veskcheck {
namespace {

// The argument array CommandLineToArgvW allocates, released with LocalFree.
class ArgumentArray {
public:
    ArgumentArray() : arguments_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
    ArgumentArray(const ArgumentArray&) = delete;
    ArgumentArray& operator=(const ArgumentArray&) = delete;
    ~ArgumentArray() {
        if (arguments_ != nullptr) LocalFree(arguments_);
    }
    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> texts;
        for (int i = 0; arguments_ != nullptr && i < count_; ++i) texts.push_back(fromWide(arguments_[i]));
        return texts;
    }

private:
    int count_ = 0;
    LPWSTR* arguments_;
};

}  // namespace

std::vector<std::u16string> processArguments() { return ArgumentArray().texts(); }

}  // namespace veskcheck
