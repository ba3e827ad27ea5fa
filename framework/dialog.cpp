#include "framework/dialog.h"

#include "framework/message_box.h"

CDialogEx::CDialogEx(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialogEx::~CDialogEx() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

BOOL CDialogEx::PreTranslateMessage(MSG*) { return FALSE; }

void CDialogEx::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    // Wake the loop in case we were called from outside a dispatched message.
    if (m_hWnd) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

HWND CDialogEx::Create() {
    m_ended = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId),
                                m_parent, &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialogEx::CenterWindow() {
    if (!m_hWnd) return;
    RECT window;
    if (!::GetWindowRect(m_hWnd, &window)) return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT area = monitor.rcWork;
    RECT centreOn = area;
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &centreOn);

    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG x = (centreOn.left + centreOn.right) / 2 - width / 2;
    LONG y = (centreOn.top + centreOn.bottom) / 2 - height / 2;
    // Keep the window on the work area; a window larger than the area shows its top left.
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialogEx::DoModal() {
    const HWND hwnd = Create();
    if (!hwnd) return -1;
    // As for any modal dialog, its owner takes no input meanwhile (its messages still flow).
    const bool disabledOwner =
        m_parent && ::IsWindowEnabled(m_parent) && (::EnableWindow(m_parent, FALSE), true);

    MSG msg;
    while (!m_ended) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Someone asked the thread to quit: hand the request on after the dialog is gone.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        if (PreTranslateMessage(&msg)) continue;
        if (m_hWnd && ::IsDialogMessageW(m_hWnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // Enabled again before the dialog goes, so that the owner gets the activation back.
    if (disabledOwner) ::EnableWindow(m_parent, TRUE);
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    return m_result;
}

bool CDialogEx::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg == WM_COMMAND && HIWORD(wParam) == 0) {
        switch (LOWORD(wParam)) {
            case IDCANCEL:
                OnCancel();
                result = 0;
                return true;
            case IDOK:
                OnOK();
                result = 0;
                return true;
            default:
                break;
        }
    }
    return false;
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialogEx* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogEx*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
        if (!self->m_parent) AfxSetMainWnd(hwnd);
    } else {
        self = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    // An exception must not unwind through user32, which called us and knows nothing of C++.
    try {
        return self->HandleMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
    }
    try {
        self->OnHandlerFailed();
    } catch (...) {
        self->EndDialog(IDABORT);
    }
    return FALSE;
}

INT_PTR CDialogEx::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) return OnInitDialog();

    LRESULT result = 0;
    if (msg == WM_NCDESTROY) {
        // The last message: the object lets go of the window whatever its handler does.
        try {
            OnMessage(msg, wParam, lParam, result);
        } catch (...) {
        }
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        if (AfxGetMainWnd() == hwnd) AfxSetMainWnd(nullptr);
        m_hWnd = nullptr;
        return FALSE;
    }
    if (!OnMessage(msg, wParam, lParam, result)) return FALSE;
    switch (msg) {
        // These return their result directly from the dialog procedure.
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
    }
}
