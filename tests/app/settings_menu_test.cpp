// The settings menu of the running program: its check marks and its three commands.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "settings/installed_copy.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

using SettingsMenuTest = AppTest;

// The built program is not the installed copy: its AutoRun mark starts unticked whatever the
// default says, and switching it on there registers nothing. (That the installed copy registers
// the task is checked with the setup, tests/release.)
constexpr wchar_t kAutoRunNeedsInstall[] =
    L"윈도우 실행시 프로그램 자동실행은 설치된 프로그램에서만 사용할 수 있습니다.";

TEST_F(SettingsMenuTest, CommandsStoreExactTextsAndAutoRunOutsideTheInstallationRegistersNothing) {
    Launch();
    const WPARAM commands[] = {ID_SETTINGS_AUTORUN, ID_SETTINGS_AUTOPING, ID_SETTINGS_MEMORY};
    // Fresh start: AutoRun shown off (not the installed copy), AutoPing off, Memory on.
    for (WPARAM id : commands) ::PostMessageW(wnd_, WM_COMMAND, id, 0);
    const HWND box = AwaitBox(kAutoRunNeedsInstall, 10000);
    ASSERT_NE(box, nullptr) << "no message that AutoRun needs the installed program";
    EXPECT_EQ(WindowText(box), L"Tarnivex");
    ASSERT_TRUE(ClickDialogButton(box, IDOK));
    ASSERT_TRUE(WaitUntil([] { return StoredText(kMemoryValue) == L"false"; }, 10000));
    EXPECT_EQ(StoredText(kAutoRunValue), L"false");
    EXPECT_EQ(StoredText(kAutoPingValue), L"true");

    for (WPARAM id : {ID_SETTINGS_AUTOPING, ID_SETTINGS_MEMORY}) {
        ::PostMessageW(wnd_, WM_COMMAND, id, 0);
    }
    ASSERT_TRUE(WaitUntil([] { return StoredText(kMemoryValue) == L"true"; }, 10000));
    EXPECT_EQ(StoredText(kAutoRunValue), L"false");
    EXPECT_EQ(StoredText(kAutoPingValue), L"false");
    for (const wchar_t* name : {kAutoRunValue, kAutoPingValue, kMemoryValue}) {
        const auto raw = ReadValue(HKEY_CURRENT_USER, kSettingsKey, name);
        ASSERT_TRUE(raw.has_value());
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw->data.size(), StoredText(name) == L"true" ? 10u : 12u);
    }
    // Nothing reached the task tool: no deletion of a task that cannot exist, no creation.
    EXPECT_TRUE(WaitForLogLines(schtasksLog_, 1, 1000).empty());
}

}  // namespace
}  // namespace tvx::test

namespace tvx::test {
namespace {

// Right end of the column where the menu draws its marks.
constexpr int kMarkColumnEnd = 20;

// Item rows of a captured popup menu (separators left out), top to bottom, with whether a mark
// is drawn left of the item's text. The background is the menu's most common colour; text rows
// are rows with ink in the text column, and a mark is ink in the narrow column before the text.
std::vector<bool> ReadCheckMarks(const Image& menu) {
    std::map<std::uint32_t, int> counts;
    for (auto px : menu.pixels) ++counts[px];
    std::uint32_t background = 0;
    int best = 0;
    for (const auto& [colour, n] : counts) {
        if (n > best) best = n, background = colour;
    }
    auto ink = [&](int x, int y) {
        const std::uint32_t px = menu.pixels[static_cast<size_t>(y) * menu.width + x];
        int worst = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            worst = std::max(worst, std::abs(static_cast<int>((px >> shift) & 0xFF) -
                                             static_cast<int>((background >> shift) & 0xFF)));
        }
        return worst > 80;
    };
    auto rowHasInk = [&](int y, int x0, int x1) {
        for (int x = x0; x < x1; ++x) {
            if (ink(x, y)) return true;
        }
        return false;
    };
    const int textFrom = kMarkColumnEnd + 2, textTo = menu.width - 6;
    std::vector<bool> marks;
    for (int y = 3; y < menu.height - 3;) {
        if (!rowHasInk(y, textFrom, textTo)) {
            ++y;
            continue;
        }
        int end = y;
        while (end + 1 < menu.height - 3 && rowHasInk(end + 1, textFrom, textTo)) ++end;
        if (end - y + 1 >= 5) {  // a separator is a line of one or two rows
            bool marked = false;
            for (int r = std::max(0, y - 2); r <= std::min(menu.height - 1, end + 2) && !marked;
                 ++r) {
                marked = rowHasInk(r, 3, kMarkColumnEnd);
            }
            marks.push_back(marked);
        }
        y = end + 1;
    }
    return marks;
}

class SettingsMenuMarks : public AppTest {
protected:
    // Opens the menu from the gear, reads its marks and closes it with Escape.
    std::vector<bool> OpenAndRead(const std::wstring& captureName) {
        Press(wnd_, kGear.x, kGear.y);
        HWND menu = FindPopupMenu(app_.pid(), 5000);
        if (!menu) {
            ADD_FAILURE() << "no settings menu";
            return {};
        }
        ::Sleep(300);  // drawn
        const Image image = CaptureWindow(menu);
        const auto marks = ReadCheckMarks(image);
        SavePng(image, WindowsPathOf(TARNIVEX_ACTUAL_DIR) + L"\\menu-" + captureName + L".png");
        EXPECT_TRUE(CloseMenuWithEscape());
        return marks;
    }
    void TearDown() override {
        DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        AppTest::TearDown();
    }
    // The built program as the installation the setup recorded: its AutoRun mark may show on.
    static void RecordAsInstalled() {
        const std::wstring exe = ExePath();
        WriteString(HKEY_LOCAL_MACHINE, kUninstallKey, kInstallLocationValue,
                    exe.substr(0, exe.rfind(L'\\')));
    }
    static void StoreAll(const wchar_t* text) {
        for (const wchar_t* name : {kAutoRunValue, kAutoPingValue, kMemoryValue}) {
            WriteString(HKEY_CURRENT_USER, kSettingsKey, name, text);
        }
    }
};

TEST_F(SettingsMenuMarks, FollowTheStoredSettingsAndEachToggle) {
    StoreAll(L"true");
    RecordAsInstalled();
    Launch();
    EXPECT_EQ(OpenAndRead(L"all-on"), (std::vector<bool>{true, true, true}));
    // A chosen item reaches the window as its command; the next opening shows the new mark.
    ::PostMessageW(wnd_, WM_COMMAND, ID_SETTINGS_AUTOPING, 0);
    ASSERT_TRUE(WaitUntil([] { return StoredText(kAutoPingValue) == L"false"; }, 5000));
    EXPECT_EQ(OpenAndRead(L"ping-off"), (std::vector<bool>{true, false, true}));
}

TEST_F(SettingsMenuMarks, NoneWhenAllAreOffAndDefaultsOnAFreshInstallation) {
    StoreAll(L"false");
    RecordAsInstalled();
    Launch();
    EXPECT_EQ(OpenAndRead(L"all-off"), (std::vector<bool>{false, false, false}));
    app_.Kill();
    KillAllNamed(L"Tarnivex.exe");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Tarnivex");
    Launch();
    EXPECT_EQ(OpenAndRead(L"defaults"), (std::vector<bool>{true, false, true}));
    // The same defaults in a copy that is not the installation: it can have no task, so AutoRun
    // shows off, and nothing is stored.
    app_.Kill();
    KillAllNamed(L"Tarnivex.exe");
    DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    Launch();
    EXPECT_EQ(OpenAndRead(L"portable"), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(StoredText(kAutoRunValue), L"(missing)");
}

}  // namespace
}  // namespace tvx::test
