// The three value helpers against Wine's registry; the machine-wide ones run in tuning_tool so
// their output is read through a pipe and compared byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "engine/registry_values.h"
#include "framework/user_text.h"
#include "tests/engine/engine_test_env.h"
#include "tests/support/registry_test_util.h"

namespace tvx::test {
namespace {

class RegistryValuesTest : public TuningRegistryTest {
protected:
    const std::wstring key_ = std::wstring(kTestRoot) + L"\\Values";
    std::wstring Args(const wchar_t* command, const std::wstring& key, const wchar_t* name) {
        return std::wstring(command) + L" \"" + key + L"\" " + name;
    }
};

TEST_F(RegistryValuesTest, SetDwordCreatesMissingKeysAndWritesFourBytesOfOne) {
    const std::wstring deep = key_ + L"\\Deeper\\Still";
    const ToolRun run = RunTool(Args(L"set", deep, L"TcpAckFrequency"));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, SetLine("TcpAckFrequency"));
    const auto value = ReadValue(HKEY_LOCAL_MACHINE, deep, L"TcpAckFrequency");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value->data, (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(RegistryValuesTest, SetDwordReplacesAnyTypeOrNumber) {
    const DWORD seven = 7;
    const ULONGLONG big = 0x1122334455667788ull;
    const BYTE bytes[] = {9, 8, 7, 6, 5};
    const wchar_t text[] = L"two";
    struct Row {
        DWORD type;
        const void* data;
        DWORD size;
    } rows[] = {{REG_DWORD, &seven, sizeof seven},
                {REG_QWORD, &big, sizeof big},
                {REG_BINARY, bytes, sizeof bytes},
                {REG_SZ, text, sizeof text}};
    for (const Row& row : rows) {
        WriteValue(HKEY_LOCAL_MACHINE, key_, L"V", row.type, row.data, row.size);
        const ToolRun run = RunTool(Args(L"set", key_, L"V"));
        EXPECT_EQ(run.output, SetLine("V")) << "type " << row.type;
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key_, L"V"), 1u) << "type " << row.type;
    }
}

TEST_F(RegistryValuesTest, SetDwordFailuresPrintTheCallAndCode) {
    // A key that denies the full access mask cannot be opened for writing: code 5, as for a
    // user without administrator rights.
    CreateKey(HKEY_LOCAL_MACHINE, key_);
    SetKeyDacl(HKEY_LOCAL_MACHINE, key_, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    ToolRun run = RunTool(Args(L"set", key_, L"V"));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, CreateFailed(5));

    // A value name beyond the registry's limit fails at the set; the key made on the way stays.
    const std::wstring fresh = std::wstring(kTestRoot) + L"\\Fresh";
    run = RunTool(Args(L"set", fresh, L"*long"));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, SetFailed(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, fresh));
}

TEST_F(RegistryValuesTest, DeleteRemovesOnlyTheValue) {
    WriteDword(HKEY_LOCAL_MACHINE, key_, L"TCPNoDelay", 1);
    WriteDword(HKEY_LOCAL_MACHINE, key_, L"Other", 3);
    const ToolRun run = RunTool(Args(L"delete", key_, L"TCPNoDelay"));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, DeletedLine("TCPNoDelay"));
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, key_, L"TCPNoDelay"));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key_, L"Other"), 3u);
}

TEST_F(RegistryValuesTest, DeleteOfMissingKeyOrValuePrintsCodeTwoAndCreatesNothing) {
    ToolRun run = RunTool(Args(L"delete", key_, L"TCPNoDelay"));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, OpenFailed(2));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key_));

    CreateKey(HKEY_LOCAL_MACHINE, key_);
    run = RunTool(Args(L"delete", key_, L"TCPNoDelay"));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, DeleteFailed(2));
}

TEST_F(RegistryValuesTest, DeleteFromAKeyDenyingWritesPrintsOpenFailure) {
    WriteDword(HKEY_LOCAL_MACHINE, key_, L"TCPNoDelay", 1);
    SetKeyDacl(HKEY_LOCAL_MACHINE, key_, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    const ToolRun run = RunTool(Args(L"delete", key_, L"TCPNoDelay"));
    EXPECT_EQ(run.output, OpenFailed(5));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key_, L"TCPNoDelay"), 1u);
}

// The per-user string helper prints nothing, so it is called in-process.
class RegistryStringTest : public ::testing::Test {
protected:
    const std::wstring key_ = L"Software\\TarnivexTest\\Strings";
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, L"Software\\TarnivexTest"); }
};

TEST_F(RegistryStringTest, NullArgumentsFailWithoutTouchingTheRegistry) {
    EXPECT_FALSE(SetRegistryString(nullptr, L"V", L"x"));
    EXPECT_FALSE(SetRegistryString(key_.c_str(), nullptr, L"x"));
    EXPECT_FALSE(SetRegistryString(key_.c_str(), L"V", nullptr));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
}

TEST_F(RegistryStringTest, WritesTextWithItsTerminatorOnly) {
    ASSERT_TRUE(SetRegistryString(key_.c_str(), L"Empty", L""));
    auto value = ReadValue(HKEY_CURRENT_USER, key_, L"Empty");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->data, (std::vector<BYTE>{0, 0}));

    ASSERT_TRUE(SetRegistryString(key_.c_str(), L"DisplayName", L"게임핑"));
    value = ReadValue(HKEY_CURRENT_USER, key_, L"DisplayName");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->data, (std::vector<BYTE>{0x8C, 0xAC, 0x84, 0xC7, 0x51, 0xD5, 0, 0}));
}

}  // namespace
}  // namespace tvx::test
