#include "app/main_window.h"

#include <array>
#include <utility>

#include "app/control_layout.h"
#include "app/report_actions.h"
#include "app/run_worker.h"
#include "app/window_owners.h"
#include "common/win_text.h"

namespace veskcheck {
namespace {

constexpr UINT runFinishedMessage = WM_APP + 1;
// A run's end also shows at this timer's next tick, should its message be lost (a posted message
// fails when the thread's queue is full).
constexpr UINT_PTR runWatchTimer = 1;
constexpr UINT runWatchMs = 250;
constexpr int retryId = 101;
constexpr int saveId = 102;
constexpr int copyId = 103;
constexpr int timeId = 104;
constexpr WORD iconResource = 107;
constexpr WPARAM adviceTextLimit = 0xFFFF;
constexpr wchar_t className[] = L"VeskNetworkCheckWindow";
constexpr wchar_t windowTitle[] = L"Vesk 更新连接检测工具";

struct ControlSpec {
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    int id;
};

// In the order of creation, which is also the order of the layout slots and of Tab navigation.
const std::array<ControlSpec, controlSlotCount> controlSpecs{{
    {L"STATIC", L"", 0, 0},
    {L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_TABSTOP | WS_VSCROLL, 0},
    {L"STATIC", L"请在官网提交检测报告；本工具不会自动上传。", 0, 0},
    {L"BUTTON", L"重新检测", BS_PUSHBUTTON | WS_TABSTOP, retryId},
    {L"BUTTON", L"保存检测报告", BS_PUSHBUTTON | WS_TABSTOP, saveId},
    {L"BUTTON", L"复制报告", BS_PUSHBUTTON | WS_TABSTOP, copyId},
    {L"BUTTON", L"打开日期和时间", BS_PUSHBUTTON | WS_TABSTOP, timeId},
}};

// Logical pixels per inch of a device context; the design's 96 when the context could not be had,
// since a zero would scale the whole window to nothing.
int readDpi(HWND window) {
    const WindowDc dc(window);
    const int dpi = dc.get() != nullptr ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : designDpi;
}

// The state of the one window, reached from the window procedure through the window's user data.
// It outlives the window: the entry point creates it first and destroys it last.
struct MainWindow {
    explicit MainWindow(RunFunction run) : worker(std::move(run), cancel, report) {}
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    // On every way out the window (if the loop ended without destroying it) goes first; then the
    // worker, which stops a run still going and ends its thread, so the process never ends while
    // a run is in progress; then the font the controls used.
    ~MainWindow() {
        if (hwnd != nullptr) DestroyWindow(hwnd);
    }

    HWND hwnd = nullptr;
    HWND statusLabel = nullptr;
    HWND adviceView = nullptr;
    HWND noteLabel = nullptr;
    HWND retryButton = nullptr;
    HWND saveButton = nullptr;
    HWND copyButton = nullptr;
    HWND timeButton = nullptr;
    FontOwner font;
    CancelFlag cancel{false};
    CheckReport report;
    RunLifecycle lifecycle;  // whether a run is in progress, and whether closing was asked meanwhile
    int dpi = designDpi;
    RunWorker worker;  // after what its runs use, so that it ends before they go

    std::array<HWND*, controlSlotCount> controls() {
        return {&statusLabel, &adviceView, &noteLabel, &retryButton, &saveButton, &copyButton, &timeButton};
    }

    void create(HINSTANCE instance) {
        dpi = readDpi(hwnd);
        font.reset(CreateFontW(fontHeight(dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               L"Microsoft YaHei"));
        const auto slots = controls();
        for (int i = 0; i < controlSlotCount; ++i) {
            const ControlSpec& spec = controlSpecs[i];
            // A control that cannot be created simply does not appear.
            *slots[i] =
                CreateWindowExW(0, spec.windowClass, spec.text, WS_CHILD | WS_VISIBLE | spec.style, 0, 0, 0, 0, hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
            SendMessageW(*slots[i], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        }
        SendMessageW(adviceView, EM_LIMITTEXT, adviceTextLimit, 0);
        layOut();
        startRun();
    }

    void layOut() {
        RECT client{};
        GetClientRect(hwnd, &client);
        const auto rects = layoutControls({client.right - client.left, client.bottom - client.top}, dpi);
        const auto slots = controls();
        for (int i = 0; i < controlSlotCount; ++i)
            MoveWindow(*slots[i], rects[i].x, rects[i].y, rects[i].width, rects[i].height, TRUE);
    }

    void apply(const WindowChange& change) {
        if (change.buttons) {
            EnableWindow(retryButton, change.buttons->retryEnabled);
            EnableWindow(saveButton, change.buttons->saveEnabled);
            EnableWindow(copyButton, change.buttons->copyEnabled);
            ShowWindow(timeButton, change.buttons->timeShown ? SW_SHOW : SW_HIDE);
        }
        if (change.status) SetWindowTextW(statusLabel, wideText(*change.status));
        if (change.advice) SetWindowTextW(adviceView, wideText(*change.advice));
        if (change.destroyWindow) DestroyWindow(hwnd);
    }

    void startRun() {
        const auto change = lifecycle.start(cancel, report);
        if (!change) return;
        apply(*change);
        if (!worker.begin([window = hwnd] { PostMessageW(window, runFinishedMessage, 0, 0); })) {
            apply(lifecycle.startFailed());
            return;
        }
        SetTimer(hwnd, runWatchTimer, runWatchMs, nullptr);
    }

    // Acts only once the run has ended, when its report has passed to this thread with the
    // worker's finished flag: the same message posted by another program, or a timer tick, during
    // a run changes nothing.
    void finishRun() {
        if (!lifecycle.running() || !worker.finished()) return;
        const WindowChange change = lifecycle.finished(report);
        KillTimer(hwnd, runWatchTimer);
        apply(change);
    }

    // A command counts only from a button the player can use: another program can post one for a
    // button that is disabled or hidden, or while the save dialog or a message box, which disable
    // the window they belong to, waits for an answer.
    bool usable(int id) const {
        const HWND control = GetDlgItem(hwnd, id);
        return IsWindowEnabled(hwnd) && control != nullptr && IsWindowEnabled(control) && IsWindowVisible(control);
    }

    void command(int id) {
        // No command while a run may be writing the report.
        if (lifecycle.running() || !usable(id)) return;
        switch (id) {
        case retryId: startRun(); break;
        case saveId: saveReport(hwnd, report.reportText); break;
        case copyId: copyReport(hwnd, report.reportText); break;
        case timeId: openDateTimeSettings(hwnd); break;
        default: break;
        }
    }

    // A multi-line text area takes Tab for itself and, as inside a dialog, asks its parent to move
    // the focus on; the window does what a dialog would, or the focus could never leave the text.
    void moveFocus(WPARAM control, LPARAM controlGiven) const {
        const HWND next = LOWORD(controlGiven) != 0 ? reinterpret_cast<HWND>(control)
                                                    : GetNextDlgTabItem(hwnd, GetFocus(), control != 0);
        if (next != nullptr) SetFocus(next);
    }

    void minimumSize(MINMAXINFO& limits) const {
        const PixelSize minimum = minimumTrackingSize(dpi);
        limits.ptMinTrackSize = {minimum.width, minimum.height};
    }
};

MainWindow* attachedState(HWND window) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT handle(MainWindow& state, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: state.create(reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance); return 0;
    case WM_SIZE: state.layOut(); return 0;
    case WM_GETMINMAXINFO: state.minimumSize(*reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_CLOSE: state.apply(state.lifecycle.closeRequest(state.cancel)); return 0;
    case WM_DESTROY: PostQuitMessage(windowClosed); return 0;
    case WM_COMMAND: state.command(LOWORD(wParam)); return 0;
    case runFinishedMessage: state.finishRun(); return 0;
    case WM_TIMER:
        if (wParam == runWatchTimer) state.finishRun();
        return 0;
    case WM_NEXTDLGCTL: state.moveFocus(wParam, lParam); return 0;
    case WM_NCDESTROY:
        // The window is gone: nothing may reach the state through it any more.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        state.hwnd = nullptr;
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* state = static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        state->hwnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    } else if (MainWindow* state = attachedState(window)) {
        // An exception (only running out of memory can raise one here) must not unwind through
        // the system's frames; the message then counts as handled and nothing more happens.
        try {
            return handle(*state, window, message, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int runWindow(HINSTANCE instance, int showCommand, RunFunction run) {
    MainWindow state(std::move(run));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconResource));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = className;
    if (RegisterClassW(&windowClass) == 0) return windowUnavailable;

    state.dpi = readDpi(nullptr);
    const PixelSize size = initialWindowSize(state.dpi);
    if (CreateWindowExW(WS_EX_CONTROLPARENT, className, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        size.width, size.height, nullptr, nullptr, instance, &state) == nullptr)
        return windowUnavailable;
    ShowWindow(state.hwnd, showCommand);
    UpdateWindow(state.hwnd);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(state.hwnd, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return windowClosed;
}

}  // namespace veskcheck
