// The result lines the machine-wide registry operations print on standard output. Each line is
// built by concatenation rather than wide printf, whose conversion would mangle the Korean text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

std::wstring CreateFailedLine(LSTATUS code);  // "RegCreateKeyEx 실패: 오류 코드 %ld\n"
std::wstring SetFailedLine(LSTATUS code);     // "RegSetValueEx 실패: 오류 코드 %ld\n"
std::wstring OpenFailedLine(LSTATUS code);    // "RegOpenKeyEx 실패: 오류 코드 %ld\n"
std::wstring DeleteFailedLine(LSTATUS code);  // "RegDeleteValue 실패: 오류 코드 %ld\n"
std::wstring EnumFailedLine(LSTATUS code);    // "RegEnumKeyEx 실패: 오류 코드 %ld\n"
std::wstring ValueSetLine(std::wstring_view valueName,
                          DWORD number);  // "'%s' 값이 %d 로 설정되었습니다.\n"
std::wstring ValueDeletedLine(
    std::wstring_view valueName);  // "'%s' 값이 성공적으로 삭제되었습니다.\n"
std::wstring ValueRestoredLine(
    std::wstring_view valueName);  // "'%s' 값이 원래 값으로 복원되었습니다.\n"
std::wstring OriginalNotKeptLine(
    std::wstring_view valueName);  // "'%s' 값의 원래 값을 보관하지 못해 값을 바꾸지 않았습니다.\n"

// Another copy of the program held the tuning lock past the wait; nothing was changed.
std::wstring TuningBusyLine();

}  // namespace tvx
