// Shared ground for the engine tests: the tuning tool run through a pipe, and the machine
// registry (interfaces, MSMQ key, backup store) put into a known state around each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/registry_test_util.h"

namespace tvx::test {

inline constexpr wchar_t kTestRoot[] = L"SOFTWARE\\TarnivexTest";

struct ToolRun {
    DWORD exitCode = static_cast<DWORD>(-1);
    std::string output;  // raw UTF-8 bytes
};

// Runs tuning_tool.exe with the arguments and waits for it.
ToolRun RunTool(const std::wstring& args);
// Runs it until it prints "<ready>\n", then kills it; returns what it printed before the marker.
std::string RunToolUntilReadyThenKill(const std::wstring& args);

// A key under parent that the enumeration lists but that opens nowhere.
void CreateDanglingLink(HKEY root, const std::wstring& path);

std::wstring InterfacePath(const std::wstring& name);
// Interface names in the order the registry enumerates them.
std::vector<std::wstring> InterfaceNames();

// Expected output lines, as the UTF-8 bytes the program must write.
std::string SetLine(const std::string& value);
std::string DeletedLine(const std::string& value);
std::string RestoredLine(const std::string& value);
std::string NotKeptLine(const std::string& value);
std::string OpenFailed(long code);
std::string CreateFailed(long code);
std::string SetFailed(long code);
std::string DeleteFailed(long code);

// Number of entries left in one part of the backup store (0 when it does not exist).
DWORD BackupEntries(const wchar_t* part);

// Three interfaces named as Windows names them, no MSMQ key, no backup store, no test keys.
class TuningRegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static const std::vector<std::wstring>& DefaultInterfaces();
    void ResetInterfaces(const std::vector<std::wstring>& names);
};

}  // namespace tvx::test
