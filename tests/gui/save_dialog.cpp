#include "save_dialog.h"

#include <algorithm>
#include <array>

#include "common/win_text.h"
#include "expected_texts.h"

namespace vesktest {
namespace {

using veskcheck::wideText;

HWND editWithin(HWND control) {
    if (control == nullptr || classOf(control) == u"Edit") return control;
    for (HWND child : childrenOf(control))
        if (const HWND edit = editWithin(child)) return edit;
    return nullptr;
}

// The file name box of the save dialog: the edit control 0x480, or the edit inside the combo box
// 0x47C that the explorer-style dialog uses.
HWND fileNameBox(HWND dialog) {
    for (const int id : {0x480, 0x47C})
        if (const HWND edit = editWithin(GetDlgItem(dialog, id))) return edit;
    return nullptr;
}

long long fileTimeTicks(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// "Vesk连接检测-YYYYMMDD-hhmmss-mmm.txt" within two minutes of the local time `around`.
bool isDefaultName(const std::u16string& name, const SYSTEMTIME& around) {
    const std::u16string prefix = u"Vesk连接检测-";
    const std::u16string_view stamp = std::u16string_view(name).substr(std::min(prefix.size(), name.size()));
    const bool shaped = name.rfind(prefix, 0) == 0 && stamp.size() == 23 && stamp.substr(19) == u".txt" &&
                        std::ranges::all_of(std::array{std::size_t{8}, std::size_t{15}},
                                            [&](std::size_t at) { return stamp[at] == u'-'; });
    if (!shaped) return false;
    const auto digits = [&](std::size_t at, std::size_t count) {
        WORD value = 0;
        for (const char16_t d : stamp.substr(at, count)) {
            if (d < u'0' || d > u'9') return WORD{0xFFFF};
            value = static_cast<WORD>(value * 10 + (d - u'0'));
        }
        return value;
    };
    SYSTEMTIME named{};
    named.wYear = digits(0, 4);
    named.wMonth = digits(4, 2);
    named.wDay = digits(6, 2);
    named.wHour = digits(9, 2);
    named.wMinute = digits(11, 2);
    named.wSecond = digits(13, 2);
    named.wMilliseconds = digits(16, 3);
    constexpr long long twoMinutes = 120LL * 10000000LL;
    return named.wMilliseconds < 1000 && std::llabs(fileTimeTicks(named) - fileTimeTicks(around)) < twoMinutes;
}

}  // namespace

HWND openSaveDialog(Case& c, const Session& s, std::u16string* defaultName) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    click(s.button(102));
    const HWND dialog = s.waitForDialog();
    c.verdict.expect(dialog != nullptr, "no save dialog");
    if (dialog == nullptr) return nullptr;
    c.verdict.expectText(textOf(dialog), expected::saveDialogTitle, "save dialog title");
    const HWND nameBox = fileNameBox(dialog);
    c.verdict.expect(nameBox != nullptr, "no file name box in the save dialog");
    const std::u16string name = nameBox != nullptr ? textOf(nameBox) : u"";
    c.verdict.expect(isDefaultName(name, now), "default file name " + quoted(name));
    if (defaultName != nullptr) *defaultName = name;
    return dialog;
}

void saveAs(Case& c, HWND dialog, const std::u16string& path) {
    if (dialog == nullptr) return;
    if (!path.empty()) SendMessageW(fileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wideText(path)));
    click(GetDlgItem(dialog, IDOK));
    c.verdict.expect(waitFor([&] { return !IsWindow(dialog); }, stateSettles), "the save dialog did not close");
}

}  // namespace vesktest
