#include "settings/decimal_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    const wchar_t* text;
    int32_t expected;
};

TEST(ReadDecimal, FollowsTheOneReadingRule) {
    const Case cases[] = {
        {L"", 0},
        {L"abc", 0},
        {L"   ", 0},
        {L"20261208", 20261208},
        {L"  \t\r\n42", 42},
        {L"+7", 7},
        {L"-15", -15},
        {L"- 5", 0},  // the sign must touch the digits
        {L"+-5", 0},
        {L"12ab34", 12},  // stops at the first other character
        {L"5 ", 5},
        {L"3.9", 3},
        {L"0007", 7},
        {L"2147483647", INT_MAX},
        {L"2147483648", INT_MAX},
        {L"99999999999999999999999999", INT_MAX},
        {L"-2147483648", INT_MIN},
        {L"-2147483649", INT_MIN},
        {L"-99999999999999999999999999", INT_MIN},
        {L"\x0661\x0662", 0},  // only ASCII digits count
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tvx::ReadDecimal(c.text), c.expected)
            << "text: [" << testing::PrintToString(std::wstring(c.text)) << "]";
    }
}

}  // namespace
