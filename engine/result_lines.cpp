#include "engine/result_lines.h"

namespace tvx {

namespace {

// %ld of a LSTATUS (a 32-bit long on Windows) and %d of the number written: plain signed decimal.
std::wstring FailureLine(std::wstring_view call, LSTATUS code) {
    std::wstring line(call);
    line += L" 실패: 오류 코드 ";
    line += std::to_wstring(static_cast<long>(code));
    line += L'\n';
    return line;
}

std::wstring Quoted(std::wstring_view valueName) {
    std::wstring line = L"'";
    line += valueName;
    line += L"' 값이 ";
    return line;
}

}  // namespace

std::wstring CreateFailedLine(LSTATUS code) { return FailureLine(L"RegCreateKeyEx", code); }
std::wstring SetFailedLine(LSTATUS code) { return FailureLine(L"RegSetValueEx", code); }
std::wstring OpenFailedLine(LSTATUS code) { return FailureLine(L"RegOpenKeyEx", code); }
std::wstring DeleteFailedLine(LSTATUS code) { return FailureLine(L"RegDeleteValue", code); }
std::wstring EnumFailedLine(LSTATUS code) { return FailureLine(L"RegEnumKeyEx", code); }

std::wstring ValueSetLine(std::wstring_view valueName, DWORD number) {
    return Quoted(valueName) + std::to_wstring(static_cast<int>(number)) + L" 로 설정되었습니다.\n";
}

std::wstring ValueDeletedLine(std::wstring_view valueName) {
    return Quoted(valueName) + L"성공적으로 삭제되었습니다.\n";
}

std::wstring ValueRestoredLine(std::wstring_view valueName) {
    return Quoted(valueName) + L"원래 값으로 복원되었습니다.\n";
}

std::wstring OriginalNotKeptLine(std::wstring_view valueName) {
    return L"'" + std::wstring(valueName) +
           L"' 값의 원래 값을 보관하지 못해 값을 바꾸지 않았습니다.\n";
}

std::wstring TuningBusyLine() {
    return L"다른 Tarnivex가 게임핑 설정 값을 바꾸는 중이라 기다렸지만 끝나지 않아 아무것도 바꾸지 "
           L"않았습니다.\n";
}

}  // namespace tvx
