// The main window run as the program runs it: modally, until the tray's exit command.
#include <gtest/gtest.h>

#include <vector>

#include "framework/message_box.h"
#include "res/resource.h"
#include "ui/tarnivex_dlg.h"

namespace {

// Steps run one per tick of a thread timer while the dialog's own loop runs.
struct Script {
    CTarnivexDlg* dlg = nullptr;
    size_t next = 0;
    std::vector<void (*)(HWND)> steps;
    std::vector<bool> visibleAfter;  // visibility seen at the tick after each step
};
Script g_script;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const HWND hwnd = g_script.dlg->GetSafeHwnd();
    if (!hwnd) return;
    if (g_script.next > 0) g_script.visibleAfter.push_back(::IsWindowVisible(hwnd) != FALSE);
    if (g_script.next < g_script.steps.size()) g_script.steps[g_script.next++](hwnd);
}

// Yes to the exit question only.
int AnswerYes(const std::wstring& text, UINT) {
    return text.find(L"그래도 종료하시겠습니까?") != std::wstring::npos ? IDYES : IDNO;
}

TEST(MainWindowModal, EscEnterAndCloseRequestsNeverEndTheDialogOnlyExitDoes) {
    CTarnivexDlg dlg;
    g_script = Script{};
    g_script.dlg = &dlg;
    g_script.steps = {
        [](HWND h) {
            // The start-up timer's online sequence is not part of this run.
            ::KillTimer(h, kStartupTimerId);
            ::PostMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
        },
        [](HWND h) { ::PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0); },
        [](HWND h) { ::PostMessageW(h, WM_CLOSE, 0, 0); },
        [](HWND h) { ::PostMessageW(h, WM_COMMAND, ID_TRAY_OPEN, 0); },
        [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); },
        [](HWND h) { ::PostMessageW(h, WM_COMMAND, ID_TRAY_EXIT, 0); },
        [](HWND) {},  // never reached when exit ended the loop
    };
    tvx::SetMessageBoxHook(&AnswerYes);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 60, &Tick);
    const INT_PTR result = dlg.DoModal();
    ::KillTimer(nullptr, timer);
    tvx::SetMessageBoxHook(nullptr);

    EXPECT_EQ(result, IDCANCEL);
    // Every step up to the exit ran, and the loop ended right after it.
    EXPECT_EQ(g_script.next, 6u);
    ASSERT_EQ(g_script.visibleAfter.size(), 5u);
    EXPECT_TRUE(g_script.visibleAfter[0]);   // Esc
    EXPECT_TRUE(g_script.visibleAfter[1]);   // Enter
    EXPECT_FALSE(g_script.visibleAfter[2]);  // close request: hidden like the close button
    EXPECT_TRUE(g_script.visibleAfter[3]);   // shown again from the tray
    EXPECT_FALSE(g_script.visibleAfter[4]);  // Alt+F4's system command hides too
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

}  // namespace
