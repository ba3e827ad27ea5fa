// The logon task's definition as Task Scheduler XML. A task made from command-line switches gets
// the scheduler's defaults, and those stop a tray program: no start on battery, an end when the
// plug is pulled and an end after three days. The definition states every setting that matters.
#pragma once

#include <string>
#include <string_view>

namespace tvx {

// The task's name in the scheduler's root folder.
inline constexpr wchar_t kTaskName[] = L"Tarnivex";

// The definition for the user (a SID string or DOMAIN\name): at that user's logon, 30 s later,
// run the executable (quoted) with the highest rights the user has, on battery as on mains
// power, with no time limit, never a second instance, and late when a logon was missed.
std::wstring BuildTaskXml(std::wstring_view userId, std::wstring_view exePath);

// The text as schtasks /xml reads it: UTF-16 little-endian behind a byte-order mark.
std::string TaskXmlFileBytes(std::wstring_view xml);

}  // namespace tvx
