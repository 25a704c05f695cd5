#include "app/report_actions.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "app/report_file_name.h"
#include "app/window_owners.h"
#include "check/report_file.h"
#include "common/win_text.h"

namespace veskcheck {
namespace {

constexpr DWORD folderCapacity = MAX_PATH;
constexpr DWORD fileNameCapacity = 32768;

// Empty when the desktop folder is unknown; the dialog then opens at its own default.
std::u16string desktopFolder() {
    std::u16string folder(folderCapacity, u'\0');
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, wideBuffer(folder))))
        folder[0] = u'\0';
    return folder;
}

std::u16string fileNameBuffer() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::u16string name = defaultReportFileName(
        {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
    std::u16string buffer(fileNameCapacity, u'\0');
    buffer.replace(0, name.size(), name);
    return buffer;
}

// True with the chosen full path in `fileName`; false when the user cancelled or the dialog failed.
bool askForFileName(HWND owner, const std::u16string& initialFolder, std::u16string& fileName) {
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    // One pair, shown text and pattern; the literal's own terminator is the empty string ending the list.
    dialog.lpstrFilter = L"检测报告 (*.txt)\0*.txt\0";
    dialog.lpstrFile = wideBuffer(fileName);
    dialog.nMaxFile = fileNameCapacity;
    dialog.lpstrInitialDir = wideText(initialFolder);
    dialog.lpstrTitle = L"保存检测报告后，请在官网提交这个检测报告";
    // No overwrite question: the writer never replaces a file, and choosing one ends in the warning.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    dialog.lpstrDefExt = L"txt";
    return GetSaveFileNameW(&dialog) != FALSE;
}

enum class CopyResult { NoMemory, Failed, Copied };

// The report with its terminating zero as Unicode text on the clipboard. The clipboard is closed
// before a block it did not take is freed.
CopyResult copyToClipboard(HWND owner, const std::u16string& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (block.get() == nullptr) return CopyResult::NoMemory;
    void* data = GlobalLock(block.get());
    if (data == nullptr) return CopyResult::NoMemory;
    std::memcpy(data, text.c_str(), bytes);
    GlobalUnlock(block.get());

    const ClipboardSession clipboard(owner);
    if (!clipboard.isOpen() || !EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, block.get()) == nullptr)
        return CopyResult::Failed;
    block.detach();  // the clipboard owns it from now on
    return CopyResult::Copied;
}

}  // namespace

void saveReport(HWND owner, const std::u16string& reportText) {
    // The dialog runs its own message loop; the text is taken first so that nothing arriving
    // meanwhile can change what is written.
    const std::u16string text = reportText;
    std::u16string fileName = fileNameBuffer();
    if (!askForFileName(owner, desktopFolder(), fileName)) return;
    const std::u16string path = fromWide(wideText(fileName));
    if (!writeReportFile(std::filesystem::path(wideText(path)), text)) {
        MessageBoxW(owner, L"未能保存。请换一个文件名或保存位置后重试，也可以点击“复制报告”。", L"保存检测报告",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    const std::u16string saved = u"报告已保存，请在官网提交以下检测报告：\r\n\r\n" + path;
    MessageBoxW(owner, wideText(saved), L"报告已保存", MB_OK | MB_ICONINFORMATION);
}

void copyReport(HWND owner, const std::u16string& reportText) {
    switch (copyToClipboard(owner, reportText)) {
    case CopyResult::NoMemory: return;
    case CopyResult::Failed: MessageBoxW(owner, L"复制失败，请使用“保存检测报告”。", L"复制报告", MB_OK); return;
    case CopyResult::Copied:
        MessageBoxW(owner, L"报告已复制，可以在官网粘贴提交检测报告。", L"复制报告", MB_OK);
        return;
    }
}

void openDateTimeSettings(HWND owner) {
    std::u16string systemFolder(folderCapacity, u'\0');
    GetSystemDirectoryW(wideBuffer(systemFolder), folderCapacity);
    const std::u16string program = fromWide(wideText(systemFolder)) + u"\\control.exe";
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", wideText(program), L"timedate.cpl", nullptr, SW_SHOWNORMAL));
    // Values of 32 and below are the documented failures.
    if (started <= 32) MessageBoxW(owner, L"请右键点击电脑右下角的时间，选择“调整日期/时间”。", L"打开时间设置", MB_OK);
}

}  // namespace veskcheck
