#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "framework/user_text.h"
#include "tests/support/registry_test_util.h"

namespace {

using namespace tvx::test;

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, L"Software\\Tarnivex\\Settings"); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, L"Software\\Tarnivex\\Settings"); }
    static void Store(const wchar_t* name, const std::wstring& text) {
        WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, name, text);
    }
};

TEST_F(SettingsStore, NoKeyGivesTheDefaultsAndWritesNothing) {
    const auto s = tvx::LoadSettings();
    EXPECT_EQ(s.autoRun, TRUE);
    EXPECT_EQ(s.autoPing, FALSE);
    EXPECT_EQ(s.memory, TRUE);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kSettingsKey));
}

TEST_F(SettingsStore, StoredTextsAreRead) {
    Store(tvx::kAutoRunValue, L"false");
    Store(tvx::kAutoPingValue, L"true");
    Store(tvx::kMemoryValue, L"false");
    const auto s = tvx::LoadSettings();
    EXPECT_EQ(s.autoRun, FALSE);
    EXPECT_EQ(s.autoPing, TRUE);
    EXPECT_EQ(s.memory, FALSE);
}

TEST_F(SettingsStore, OnlyTheExactLowerCaseTrueIsOn) {
    for (const wchar_t* text : {L"True", L"TRUE", L"1", L"yes", L"true ", L" true", L""}) {
        Store(tvx::kAutoPingValue, text);
        EXPECT_EQ(tvx::LoadSettings().autoPing, FALSE)
            << "stored: [" << testing::PrintToString(std::wstring(text)) << "]";
        // An unrecognised text is "off", not the default: AutoRun's default is on.
        Store(tvx::kAutoRunValue, text);
        EXPECT_EQ(tvx::LoadSettings().autoRun, FALSE);
    }
}

TEST_F(SettingsStore, AnotherTypeTakesTheDefault) {
    WriteDword(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoPingValue, 1);
    WriteDword(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kMemoryValue, 0);
    const auto s = tvx::LoadSettings();
    EXPECT_EQ(s.autoPing, FALSE);
    EXPECT_EQ(s.memory, TRUE);
}

TEST_F(SettingsStore, TextsOfMoreThan129CharactersTakeTheDefault) {
    Store(tvx::kAutoPingValue, L"true");
    const std::wstring fits(129, L'x');
    const std::wstring tooLong(130, L'x');
    Store(tvx::kMemoryValue, fits);
    EXPECT_EQ(tvx::ReadUserText(tvx::kSettingsKey, tvx::kMemoryValue, L"dflt"), fits);
    Store(tvx::kMemoryValue, tooLong);
    EXPECT_EQ(tvx::ReadUserText(tvx::kSettingsKey, tvx::kMemoryValue, L"dflt"), L"dflt");
    EXPECT_EQ(tvx::LoadSettings().memory, TRUE);  // default, not "off"
}

TEST_F(SettingsStore, MissingValueInAnExistingKeyTakesTheDefault) {
    Store(tvx::kAutoRunValue, L"false");
    EXPECT_EQ(tvx::ReadUserText(tvx::kSettingsKey, tvx::kMemoryValue, L"0"), L"0");
    EXPECT_EQ(tvx::LoadSettings().memory, TRUE);
}

}  // namespace
