#include "online/launch_record.h"

#include <cwchar>

#include "framework/user_text.h"
#include "settings/decimal_text.h"

namespace tvx {

std::wstring FormatLaunchDate(const std::tm& local) {
    wchar_t text[32] = {};
    const size_t n = std::wcsftime(text, std::size(text), L"%Y%m%d", &local);
    return std::wstring(text, n);
}

BOOL UpdateLaunchRecord() {
    const int32_t recorded = ReadDecimal(ReadUserText(kLaunchKey, kLaunchValue, L"0"));

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0) return FALSE;
    const std::wstring today = FormatLaunchDate(local);

    if (recorded >= ReadDecimal(today)) return FALSE;
    SetRegistryString(kLaunchKey, kLaunchValue, today.c_str());
    return TRUE;
}

}  // namespace tvx
