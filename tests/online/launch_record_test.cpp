#include <gtest/gtest.h>

#include <ctime>

#include "framework/scoped.h"
#include "online/launch_record.h"
#include "tests/support/registry_test_util.h"

namespace {

using namespace tvx::test;

const wchar_t kProductKey[] = L"Software\\Tarnivex";

std::tm Date(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    return t;
}

std::wstring Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return tvx::FormatLaunchDate(local);
}

std::optional<std::wstring> Recorded() {
    return ReadString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue);
}

class LaunchRecord : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, tvx::kLaunchKey); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, tvx::kLaunchKey); }
};

TEST(LaunchDate, EightDigitsWithLeadingZeros) {
    EXPECT_EQ(tvx::FormatLaunchDate(Date(2026, 1, 5)), L"20260105");
    EXPECT_EQ(tvx::FormatLaunchDate(Date(1999, 12, 31)), L"19991231");
    EXPECT_EQ(tvx::FormatLaunchDate(Date(2000, 2, 29)), L"20000229");
    EXPECT_EQ(tvx::FormatLaunchDate(Date(2038, 10, 1)), L"20381001");
    // Later days always compare larger as numbers, across month and year ends.
    EXPECT_LT(std::stol(tvx::FormatLaunchDate(Date(2026, 1, 31))),
              std::stol(tvx::FormatLaunchDate(Date(2026, 2, 1))));
    EXPECT_LT(std::stol(tvx::FormatLaunchDate(Date(2026, 12, 31))),
              std::stol(tvx::FormatLaunchDate(Date(2027, 1, 1))));
}

TEST_F(LaunchRecord, FirstStartRecordsTodayAndSecondStartSameDayDoesNot) {
    EXPECT_TRUE(tvx::UpdateLaunchRecord());
    const auto value = ReadValue(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    // Stored with its terminator: eight digits and a NUL in UTF-16.
    EXPECT_EQ(value->data.size(), 18u);
    EXPECT_EQ(Recorded(), Today());

    EXPECT_FALSE(tvx::UpdateLaunchRecord());
    EXPECT_EQ(Recorded(), Today());
}

TEST_F(LaunchRecord, EarlierDayIsNewAndIsReplacedByToday) {
    for (const wchar_t* earlier : {L"20000101", L"0", L"-5", L"", L"abc", L"  19991231 tail"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(earlier)));
        WriteString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue, earlier);
        EXPECT_TRUE(tvx::UpdateLaunchRecord());
        EXPECT_EQ(Recorded(), Today());
    }
}

TEST_F(LaunchRecord, ClockSetBackNeverCountsAsNewDay) {
    // A record from the future, as after the clock was set back, and texts whose leading digits
    // read as a later day.
    for (const wchar_t* later : {L"99991231", L"30000101xyz", L"2147483647", L"99999999999"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(later)));
        WriteString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue, later);
        EXPECT_FALSE(tvx::UpdateLaunchRecord());
        EXPECT_FALSE(tvx::UpdateLaunchRecord());
        EXPECT_EQ(Recorded(), later);
    }
}

TEST_F(LaunchRecord, UnreadableRecordCountsAsNoRecord) {
    // Another type, and a text longer than the 129 characters that fit.
    WriteDword(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue, 99991231);
    EXPECT_TRUE(tvx::UpdateLaunchRecord());
    EXPECT_EQ(Recorded(), Today());

    WriteString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue,
                L"99991231" + std::wstring(130, L'0'));
    EXPECT_TRUE(tvx::UpdateLaunchRecord());
    EXPECT_EQ(Recorded(), Today());
}

TEST_F(LaunchRecord, FailedWriteStillCountsAsNewDayEveryTime) {
    // Under a volatile parent no lasting key can be created (ERROR_CHILD_MUST_BE_VOLATILE), so
    // the record cannot be written, while reading it just finds no key.
    DeleteTree(HKEY_CURRENT_USER, kProductKey);
    tvx::UniqueKey product;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, product.put(), nullptr),
              ERROR_SUCCESS);
    tvx::UniqueKey probe;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, tvx::kLaunchKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, probe.put(), nullptr),
        ERROR_CHILD_MUST_BE_VOLATILE);

    EXPECT_TRUE(tvx::UpdateLaunchRecord());
    EXPECT_TRUE(tvx::UpdateLaunchRecord());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kLaunchKey));

    product.reset();
    DeleteTree(HKEY_CURRENT_USER, kProductKey);
}

}  // namespace
