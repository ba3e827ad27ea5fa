#include "framework/message_wait.h"

namespace tvx {

bool WaitPumpingMessages(HANDLE object, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        // MWMO_INPUTAVAILABLE: messages already seen but not yet removed wake the wait too.
        const DWORD result =
            ::MsgWaitForMultipleObjectsEx(1, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;  // time-out or failure
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Not ours to swallow: hand it on to the loop that owns the thread.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (::WaitForSingleObject(object, 0) == WAIT_OBJECT_0) return true;
    }
}

}  // namespace tvx
