#include "tests/app/app_fixture.h"

#include "engine/tcp_tuning.h"
#include "settings/settings_store.h"
#include "tests/support/netcon_double.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {

namespace {
constexpr wchar_t kExeName[] = L"Tarnivex.exe";
}  // namespace

void AppTest::SetUpTestSuite() {
    InstallSchtasksDouble();
    RegisterNetconDouble();
}

std::wstring AppTest::ExePath() { return WindowsPathOf(TARNIVEX_EXE); }

void AppTest::ResetMachineState() {
    KillAllNamed(kExeName);
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Tarnivex");
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex");
    DeleteValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue);
    for (const auto& name : SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
        DeleteValue(HKEY_LOCAL_MACHINE, std::wstring(kInterfacesKey) + L"\\" + name,
                    kAckFrequencyValue);
    }
}

void AppTest::SetUp() {
    ResetMachineState();
    schtasksLog_ = UseFreshSchtasksLog(L"tarnivex-app-schtasks.log");
    UseNetconConfig({});
    UseFreshNetconLog(L"tarnivex-app-netcon.log");
    toasts_ = std::make_unique<ToastDoubleSession>();
}

void AppTest::TearDown() {
    app_.Kill();
    KillAllNamed(kExeName);
    toasts_.reset();
    ResetMachineState();
}

void AppTest::Launch(const std::wstring& exe, bool settle) {
    app_ = AppProcess::Start(exe);
    ASSERT_TRUE(app_) << "cannot start " << testing::PrintToString(exe) << ": " << ::GetLastError();
    wnd_ = FindMainWindow(app_.pid(), 20000);
    ASSERT_NE(wnd_, nullptr) << "no main window";
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 10000));
    if (!settle) return;
    // Let the once-per-run online sequence (about a second after start) finish first: the box it
    // raises when no server answers would otherwise come up in the middle of a case, inside a
    // menu's loop for instance.
    WaitUntil([] { return KeyExists(HKEY_CURRENT_USER, L"Software\\Tarnivex\\Launch"); }, 5000);
    WaitUntil([&] { return DismissStrayBox(); }, 2000);
}

bool AppTest::DismissStrayBox() {
    HWND box = FindMessageBox(app_.pid(), 0);
    if (!box || MessageBoxText(box) == kExitQuestion) return false;
    // No to an offer, OK to a notice: whichever the box has.
    if (!ClickDialogButton(box, IDNO) && !ClickDialogButton(box, IDOK))
        ClickDialogButton(box, IDCANCEL);
    WaitUntil([&] { return !::IsWindow(box); }, 3000);
    return true;
}

HWND AppTest::AwaitBox(const std::wstring& text, DWORD timeoutMs) {
    HWND wanted = nullptr;
    WaitUntil(
        [&] {
            HWND box = FindMessageBox(app_.pid(), 0);
            if (box && MessageBoxText(box) == text) wanted = box;
            if (box && !wanted) DismissStrayBox();
            return wanted != nullptr;
        },
        timeoutMs);
    return wanted;
}

bool AppTest::CloseMenuWithEscape() {
    return WaitUntil(
        [&] {
            if (!FindPopupMenu(app_.pid(), 0)) return true;
            // The menu loop reads the program's thread queue, whichever window the key names.
            ::PostMessageW(wnd_, WM_KEYDOWN, VK_ESCAPE, 0);
            return WaitUntil([&] { return FindPopupMenu(app_.pid(), 0) == nullptr; }, 300);
        },
        5000);
}

Image AppTest::StableCapture() {
    Image last;
    WaitUntil(
        [&] {
            DismissStrayBox();
            ::InvalidateRect(wnd_, nullptr, FALSE);
            ::UpdateWindow(wnd_);
            ::Sleep(150);
            Image now = CaptureWindow(wnd_);
            const bool same = !now.pixels.empty() && now.pixels == last.pixels;
            last = std::move(now);
            return same;
        },
        5000);
    return last;
}

void AppTest::ExpectLooksLike(const std::wstring& name) {
    const Image actual = StableCapture();
    ASSERT_FALSE(actual.pixels.empty()) << "nothing captured";
    const std::wstring reference = WindowsPathOf(TARNIVEX_REFERENCE_DIR) + L"\\" + name + L".png";
    wchar_t update[8] = {};
    if (::GetEnvironmentVariableW(L"TARNIVEX_UPDATE_REFERENCES", update, 8) > 0 &&
        update[0] == L'1') {
        ASSERT_TRUE(SavePng(actual, reference));
        FAIL() << "reference written: " << testing::PrintToString(reference)
               << "; run again to compare";
    }
    Image expected;
    const bool loaded = LoadPng(reference, &expected);
    const ImageDifference d = loaded ? Compare(actual, expected) : ImageDifference{};
    const bool alike = loaded && LooksAlike(d);
    if (!alike) {
        const std::wstring saved =
            WindowsPathOf(TARNIVEX_ACTUAL_DIR) + L"\\actual-" + name + L".png";
        SavePng(actual, saved);
        ADD_FAILURE() << (loaded ? "differs from " : "no reference ")
                      << testing::PrintToString(reference) << " (size " << actual.width << "x"
                      << actual.height << " vs " << expected.width << "x" << expected.height
                      << ", mean difference " << d.meanAbsolute << ", pixels off "
                      << d.fractionOver40 * 100 << "%); capture saved as "
                      << testing::PrintToString(saved);
    }
}

bool AppTest::TuningApplied() {
    if (ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue) != 1u) return false;
    const auto names = SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey);
    if (names.empty()) return false;
    for (const auto& name : names) {
        if (ReadDword(HKEY_LOCAL_MACHINE, std::wstring(kInterfacesKey) + L"\\" + name,
                      kAckFrequencyValue) != 1u) {
            return false;
        }
    }
    return true;
}

bool AppTest::TuningAbsent() {
    if (ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue)) return false;
    for (const auto& name : SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
        if (ReadValue(HKEY_LOCAL_MACHINE, std::wstring(kInterfacesKey) + L"\\" + name,
                      kAckFrequencyValue)) {
            return false;
        }
    }
    return true;
}

std::wstring AppTest::StoredText(const wchar_t* valueName) {
    return ReadString(HKEY_CURRENT_USER, kSettingsKey, valueName).value_or(L"(missing)");
}

}  // namespace tvx::test
