#include "framework/message_box.h"

#include <atomic>
#include <vector>

#include "framework/executable_path.h"

namespace {
std::atomic<HWND> g_mainWnd{nullptr};
std::atomic<tvx::MessageBoxHook> g_hook{nullptr};

// The boxes this thread has open, innermost last. A box's window is learnt from the CBT hook
// while the box creates it.
struct OpenBox {
    HWND hwnd = nullptr;
    int cancelAnswer = IDCANCEL;
    bool closing = false;  // ended by the program, not by the user
};
thread_local std::vector<OpenBox*> t_openBoxes;

void EndBox(const OpenBox& box) {
    // As if its cancel button had been pressed: the box's own procedure ends it.
    ::PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(box.cancelAnswer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box.hwnd, box.cancelAnswer)));
}

LRESULT CALLBACK WatchBoxCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !t_openBoxes.empty() && !t_openBoxes.back()->hwnd) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
        // The box is the first top-level dialog window it creates; its buttons are children.
        wchar_t cls[16] = {};
        if (create && !(create->lpcs->style & WS_CHILD) &&
            ::GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 16) &&
            ::lstrcmpW(cls, L"#32770") == 0) {
            t_openBoxes.back()->hwnd = reinterpret_cast<HWND>(wParam);
            // Closed while it was being made: it ends as soon as its loop runs.
            if (t_openBoxes.back()->closing) EndBox(*t_openBoxes.back());
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

std::wstring AfxGetAppName() { return tvx::ExecutableBaseName(); }

void AfxSetMainWnd(HWND wnd) { g_mainWnd = wnd; }
HWND AfxGetMainWnd() { return g_mainWnd; }

namespace tvx {
void SetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }

int CancelAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return IDOK;
        case MB_YESNO:
            return IDNO;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        default:
            return IDCANCEL;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel
    }
}

void CloseOpenMessageBoxes() {
    for (OpenBox* box : t_openBoxes) {
        box->closing = true;
        if (box->hwnd) EndBox(*box);
    }
}
}  // namespace tvx

int AfxMessageBox(const std::wstring& text, UINT type) {
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
            case MB_OK:
            case MB_OKCANCEL:
                type |= MB_ICONEXCLAMATION;
                break;
            case MB_YESNO:
            case MB_YESNOCANCEL:
                type |= MB_ICONQUESTION;
                break;
            default:
                break;
        }
    }
    if (const auto hook = g_hook.load()) return hook(text, type);

    // Only the main window's own thread may use it as owner; a worker's box stands alone.
    HWND owner = g_mainWnd;
    if (owner && ::GetWindowThreadProcessId(owner, nullptr) != ::GetCurrentThreadId())
        owner = nullptr;

    OpenBox box;
    box.cancelAnswer = tvx::CancelAnswer(type);
    t_openBoxes.push_back(&box);
    // Watches this thread's window creation for as long as the box is open.
    HHOOK watch = ::SetWindowsHookExW(WH_CBT, &WatchBoxCreation, nullptr, ::GetCurrentThreadId());
    int answer = 0;
    struct Unwatch {
        HHOOK& hook;
        ~Unwatch() {
            if (hook) ::UnhookWindowsHookEx(hook);
            t_openBoxes.pop_back();
        }
    } unwatch{watch};
    answer = ::MessageBoxW(owner, text.c_str(), AfxGetAppName().c_str(), type);
    // Ended by the program: whatever the box said, it was not the user's choice.
    if (box.closing) return box.cancelAnswer;
    return answer;
}
