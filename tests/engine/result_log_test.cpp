// The engine's result lines reach the program's log, stamped with the local time, and the log
// keeps at most its cap and one older file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/log_file.h"
#include "tests/engine/engine_test_env.h"
#include "tests/support/link_plant.h"

namespace tvx::test {
namespace {

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ULONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return 0;
    return (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

class ResultLog : public TuningRegistryTest {
protected:
    void SetUp() override {
        TuningRegistryTest::SetUp();
        log_ = LogFilePath();
        ASSERT_FALSE(log_.empty());
        old_ = log_.substr(0, log_.size() - 4) + L".old.log";
        // A link left by a failed run: deleting it would delete its target.
        RemoveLink(log_);
        ::DeleteFileW(log_.c_str());
        ::DeleteFileW(old_.c_str());
    }
    std::wstring log_, old_;
};

TEST_F(ResultLog, EngineLinesAreStampedAndTheLogRotatesAtItsCap) {
    SYSTEMTIME at{};
    at.wYear = 2026, at.wMonth = 12, at.wDay = 9, at.wHour = 7, at.wMinute = 5, at.wSecond = 3;
    EXPECT_EQ(StampLogLine(at, L"x\n"), L"2026-12-09 07:05:03 x\n");

    // A windowed program's lines would go nowhere else.
    RunTool(L"apply");
    const std::string firstLines = ReadAll(log_);
    const std::string set = SetLine("TcpAckFrequency");
    ASSERT_NE(firstLines.find(set), std::string::npos) << firstLines;
    // "YYYY-MM-DD HH:MM:SS " before the line.
    const size_t at0 = firstLines.find(SetLine("TCPNoDelay"));
    ASSERT_GE(at0, 20u);
    EXPECT_EQ(firstLines[at0 - 1], ' ');
    EXPECT_EQ(firstLines[at0 - 10], ' ');
    EXPECT_EQ(firstLines[at0 - 16], '-');

    // Past the cap the log starts afresh, the earlier one kept beside it.
    const std::wstring filler(1000, L'x');
    int written = 0;
    while (::GetFileAttributesW(old_.c_str()) == INVALID_FILE_ATTRIBUTES && written < 2000) {
        AppendLogLine(filler + L" " + std::to_wstring(written++) + L"\n");
        EXPECT_LE(SizeOf(log_), kLogCapBytes);
    }
    ASSERT_LT(written, 2000) << "never rotated";
    EXPECT_GT(written, 1000) << "rotated before the cap";
    EXPECT_EQ(ReadAll(old_).substr(0, firstLines.size()), firstLines)
        << "the older file begins with the log's earlier lines";
    std::string last = " ";
    last += std::to_string(written - 1);
    last += '\n';
    EXPECT_NE(ReadAll(log_).find(last), std::string::npos);
    // Only one older file: the next rotation replaces it.
    for (int i = 0; i < 1100; ++i) AppendLogLine(filler + L"\n");
    EXPECT_EQ(ReadAll(old_).find(set), std::string::npos);
    EXPECT_LE(SizeOf(log_), kLogCapBytes);
    EXPECT_LE(SizeOf(old_), kLogCapBytes);
}

// An unelevated program may own the folders on the log's way or swap them for links; the log is
// then not written at all rather than written wherever a link leads.
TEST_F(ResultLog, ALinkInPlaceOfTheLogOrItsFolderLeadsNowhere) {
    const std::wstring folder = log_.substr(0, log_.rfind(L'\\'));
    const std::wstring home = folder.substr(0, folder.rfind(L'\\'));
    const std::wstring parent = home.substr(0, home.rfind(L'\\'));
    // The file itself a link to a canary file outside.
    RunTool(L"apply");
    const Canary canary = MakeCanary(parent + L"\\canary-log");
    ASSERT_TRUE(CanaryUntouched(canary));
    ASSERT_TRUE(::DeleteFileW(log_.c_str()));
    ASSERT_TRUE(PlantLink(log_, canary.file));
    RunTool(L"revert");
    EXPECT_TRUE(CanaryUntouched(canary)) << "the log was written through a link to a file";
    RemoveLink(log_);

    // The folder a link to the canary's folder.
    ::DeleteFileW(old_.c_str());
    ASSERT_TRUE(::RemoveDirectoryW(folder.c_str()));
    ASSERT_TRUE(PlantLink(folder, canary.folder));
    RunTool(L"apply");
    RunTool(L"revert");
    EXPECT_TRUE(CanaryUntouched(canary)) << "the log was written through a linked folder";
    RemoveLink(folder);

    ::DeleteFileW(canary.file.c_str());
    ::RemoveDirectoryW(canary.folder.c_str());
}

}  // namespace
}  // namespace tvx::test
