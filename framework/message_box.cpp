#include "framework/message_box.h"

#include <atomic>

#include "framework/executable_path.h"

namespace {
std::atomic<HWND> g_mainWnd{nullptr};
std::atomic<tvx::MessageBoxHook> g_hook{nullptr};
}  // namespace

std::wstring AfxGetAppName() { return tvx::ExecutableBaseName(); }

void AfxSetMainWnd(HWND wnd) { g_mainWnd = wnd; }
HWND AfxGetMainWnd() { return g_mainWnd; }

namespace tvx {
void SetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }
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
    return ::MessageBoxW(owner, text.c_str(), AfxGetAppName().c_str(), type);
}
