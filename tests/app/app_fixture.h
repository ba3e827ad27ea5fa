// Runs the real program in the test prefix: a clean registry and clean stand-ins before each
// case, the program ended after it, and the checks the cases share.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/app_driver.h"
#include "tests/support/toast_double.h"

namespace tvx::test {

// Points of the window (client coordinates) that the cases press.
inline constexpr POINT kGear = {424, 36};
inline constexpr POINT kCross = {464, 36};
inline constexpr POINT kStart = {250, 508};

inline constexpr wchar_t kExitQuestion[] =
    L"타르니벡스을 종료하면 게임속도 최적화 환경이 유지되지 않습니다. 그래도 종료하시겠습니까?";

// The tolerance of screenshot comparisons: fonts and scaling may shift a few edges.
inline bool LooksAlike(const ImageDifference& d) {
    return d.sameSize && d.meanAbsolute < 3.0 && d.fractionOver40 < 0.01;
}

class AppTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    static std::wstring ExePath();
    // Starts the program (the built one unless another copy is named) and waits for its shown
    // main window (fails the case otherwise). Unless told not to settle, it then lets the online
    // sequence run and dismisses the box it may raise.
    void Launch(const std::wstring& exe = ExePath(), bool settle = true);
    // Answers message boxes nobody asked for (the online sequence may raise one when no server
    // answers) and reports whether one was closed.
    bool DismissStrayBox();
    // Waits for the message box with this text, answering any other box on the way.
    HWND AwaitBox(const std::wstring& text, DWORD timeoutMs);
    // Presses Escape until the program's popup menu is gone (a key that arrives while the menu
    // loop is still starting is lost); false when it stayed open.
    bool CloseMenuWithEscape();
    // Waits until the window has been painted and two captures in a row agree.
    Image StableCapture();
    // Compares with tests/app/reference/<name>.png; on failure the capture is saved next to the
    // test program. With TARNIVEX_UPDATE_REFERENCES=1 the reference is (re)written and the case
    // fails, so that nobody mistakes a fresh reference for a passed comparison.
    void ExpectLooksLike(const std::wstring& name);

    // Game-ping values under HKLM: all written (1) or all absent.
    static bool TuningApplied();
    static bool TuningAbsent();
    static void ResetMachineState();
    // Main-window flags: read back through the stored texts.
    static std::wstring StoredText(const wchar_t* valueName);

    AppProcess app_;
    HWND wnd_ = nullptr;
    std::wstring schtasksLog_;
    std::unique_ptr<ToastDoubleSession> toasts_;
};

}  // namespace tvx::test
