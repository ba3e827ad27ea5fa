// The last local calendar day on which the program went online, as YYYYMMDD under
// HKCU\Software\Tarnivex\Launch. It decides whether the daily report is due.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

namespace tvx {

inline constexpr wchar_t kLaunchKey[] = L"Software\\Tarnivex\\Launch";
inline constexpr wchar_t kLaunchValue[] = L"Tarnivex";

// The local date as eight digits: year, month and day ("%Y", "%m", "%d").
std::wstring FormatLaunchDate(const std::tm& local);

// TRUE when today (local time) is later than the recorded day; today is then recorded (a
// failed write still answers TRUE, and the next start will try again).
BOOL UpdateLaunchRecord();

}  // namespace tvx
