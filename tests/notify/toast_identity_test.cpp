#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/message_box.h"
#include "notify/toast_identity.h"
#include "tests/support/registry_test_util.h"

namespace {

using tvx::test::ReadString;
using tvx::test::ReadValue;

const std::wstring kKey = L"Software\\Classes\\AppUserModelId\\Tarnivex";

int g_boxes = 0;
int CountBox(const std::wstring&, UINT) {
    ++g_boxes;
    return IDOK;
}

std::wstring LocalAppData() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    return std::wstring(buffer, n < MAX_PATH ? n : 0);
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ToastIdentity : public ::testing::Test {
protected:
    void SetUp() override {
        tvx::test::DeleteTree(HKEY_CURRENT_USER, kKey);
        g_boxes = 0;
        tvx::SetMessageBoxHook(&CountBox);
    }
    void TearDown() override {
        tvx::SetMessageBoxHook(nullptr);
        tvx::test::DeleteTree(HKEY_CURRENT_USER, kKey);
    }
};

TEST_F(ToastIdentity, FirstCallWritesTheThreeValuesAndNoIconFile) {
    const std::wstring folder = LocalAppData();
    ASSERT_FALSE(folder.empty());
    const std::wstring compat = folder + L"\\ToastNotificationManagerCompat";
    ASSERT_FALSE(PathExists(compat));

    tvx::RegisterToastIdentity();

    const auto name = ReadValue(HKEY_CURRENT_USER, kKey, L"DisplayName");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name->data.size(), 18u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"DisplayName"), L"Tarnivex");

    const auto colour = ReadValue(HKEY_CURRENT_USER, kKey, L"IconBackgroundColor");
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(colour->data.size(), 18u);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"IconBackgroundColor"), L"ff2B2B2B");

    const std::wstring icon =
        folder + L"\\ToastNotificationManagerCompat\\Apps\\Tarnivex\\icon.png";
    const auto uri = ReadValue(HKEY_CURRENT_USER, kKey, L"IconUri");
    ASSERT_TRUE(uri);
    EXPECT_EQ(uri->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(uri->data.size(), (icon.size() + 1) * 2);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"IconUri"), icon);

    EXPECT_FALSE(PathExists(compat)) << "the icon location is recorded, never created";
    EXPECT_EQ(g_boxes, 0);
}

TEST_F(ToastIdentity, ExistingKeyIsNeitherInspectedNorRewritten) {
    // A description left by an earlier registration, incomplete and with a value of its own.
    tvx::test::WriteString(HKEY_CURRENT_USER, kKey, L"DisplayName", L"Older");
    tvx::test::WriteDword(HKEY_CURRENT_USER, kKey, L"Custom", 7);

    tvx::RegisterToastIdentity();

    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"DisplayName"), L"Older");
    EXPECT_EQ(tvx::test::ReadDword(HKEY_CURRENT_USER, kKey, L"Custom"), 7u);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, L"IconBackgroundColor"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, L"IconUri"));
}

TEST_F(ToastIdentity, LaterCallsWriteNothingUntilTheKeyIsDeleted) {
    tvx::RegisterToastIdentity();
    tvx::test::WriteString(HKEY_CURRENT_USER, kKey, L"DisplayName", L"Changed");
    tvx::test::DeleteValue(HKEY_CURRENT_USER, kKey, L"IconUri");

    tvx::RegisterToastIdentity();
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"DisplayName"), L"Changed");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, L"IconUri")) << "not repaired";

    tvx::test::DeleteTree(HKEY_CURRENT_USER, kKey);
    tvx::RegisterToastIdentity();
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"DisplayName"), L"Tarnivex");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, L"IconBackgroundColor"), L"ff2B2B2B");
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kKey, L"IconUri"));
    EXPECT_EQ(g_boxes, 0);
}

}  // namespace
