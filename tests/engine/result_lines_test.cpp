// The printed lines as UTF-16 code units, written out independently of the source's own encoding:
// a wrong -finput-charset or a narrow literal slipping in shows up here.
#include <gtest/gtest.h>

#include <string>

#include "engine/result_lines.h"

namespace tvx {
namespace {

std::u16string Units(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

constexpr char16_t kValueIs[] = {0x0027, 0x0020, 0xAC12, 0xC774, 0x0020, 0};  // ' 값이 _
constexpr char16_t kSetTo[] = {0x0020, 0xB85C, 0x0020, 0xC124, 0xC815, 0xB418, 0xC5C8,
                               0xC2B5, 0xB2C8, 0xB2E4, 0x002E, 0x000A, 0};  // _로 설정되었습니다.\n
constexpr char16_t kFailedCode[] = {0x0020, 0xC2E4, 0xD328, 0x003A, 0x0020, 0xC624, 0xB958,
                                    0x0020, 0xCF54, 0xB4DC, 0x0020, 0};  // _실패: 오류 코드_
constexpr char16_t kDeleted[] = {0xC131, 0xACF5, 0xC801, 0xC73C, 0xB85C, 0x0020, 0xC0AD, 0xC81C,
                                 0xB418, 0xC5C8, 0xC2B5, 0xB2C8, 0xB2E4, 0x002E, 0x000A, 0};
constexpr char16_t kRestored[] = {0xC6D0, 0xB798, 0x0020, 0xAC12, 0xC73C, 0xB85C,
                                  0x0020, 0xBCF5, 0xC6D0, 0xB418, 0xC5C8, 0xC2B5,
                                  0xB2C8, 0xB2E4, 0x002E, 0x000A, 0};

TEST(ResultLines, ValueLinesAreTheExactUtf16Units) {
    EXPECT_EQ(Units(ValueSetLine(L"TcpAckFrequency", 1)),
              u"'TcpAckFrequency" + std::u16string(kValueIs) + u"1" + kSetTo);
    EXPECT_EQ(Units(ValueDeletedLine(L"TCPNoDelay")),
              u"'TCPNoDelay" + std::u16string(kValueIs) + kDeleted);
    EXPECT_EQ(Units(ValueRestoredLine(L"TcpAckFrequency")),
              u"'TcpAckFrequency" + std::u16string(kValueIs) + kRestored);
}

TEST(ResultLines, FailureLinesCarryTheCallAndDecimalCode) {
    EXPECT_EQ(Units(CreateFailedLine(5)), u"RegCreateKeyEx" + std::u16string(kFailedCode) + u"5\n");
    EXPECT_EQ(Units(SetFailedLine(87)), u"RegSetValueEx" + std::u16string(kFailedCode) + u"87\n");
    EXPECT_EQ(Units(OpenFailedLine(2)), u"RegOpenKeyEx" + std::u16string(kFailedCode) + u"2\n");
    EXPECT_EQ(Units(DeleteFailedLine(1018)),
              u"RegDeleteValue" + std::u16string(kFailedCode) + u"1018\n");
}

}  // namespace
}  // namespace tvx
