// A modal dialog in the framework's manner, reduced to what the program uses. The static dialog
// procedure binds the C++ object at WM_INITDIALOG and forwards every later message to OnMessage.
// The modal loop is our own (not DialogBox) so that PreTranslateMessage sees each message first.
#pragma once

#include <windows.h>

class CDialogEx {
public:
    explicit CDialogEx(UINT templateId, HWND parent = nullptr);
    virtual ~CDialogEx();
    CDialogEx(const CDialogEx&) = delete;
    CDialogEx& operator=(const CDialogEx&) = delete;

    // Creates the dialog from its template and runs the modal loop until EndDialog; -1 when the
    // window cannot be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    // True once EndDialog was called for the current run of the dialog.
    bool Ended() const { return m_ended; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Creates the dialog without a modal loop (the caller pumps messages and destroys the
    // window); null when the window cannot be created.
    HWND Create();

    // Centres the window over its owner, or over the work area of its monitor when it has none,
    // keeping it inside that work area.
    void CenterWindow();

    // Return TRUE to swallow the message before the dialog manager sees it.
    virtual BOOL PreTranslateMessage(MSG* msg);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnOK() { EndDialog(IDOK); }
    // Window messages after WM_INITDIALOG. Return true with `result` set when the message is
    // fully handled; false lets the dialog manager's default processing run (also after a
    // handler that acted and then wants the default, as a framework handler calling Default()).
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // A handler let an exception out. It never unwinds through the system's code that called the
    // dialog procedure; the dialog ends instead (IDABORT), so the program ends the usual way.
    virtual void OnHandlerFailed() { EndDialog(IDABORT); }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
    bool m_ended = false;
    INT_PTR m_result = IDCANCEL;
};
