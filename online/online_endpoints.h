// Where the online sequence goes. The hosts are build settings (scheme, host and optional port,
// no trailing slash); the paths and queries are fixed.
#pragma once

#include <windows.h>

namespace tvx {

inline constexpr wchar_t kLiveReportUrl[] =
    TARNIVEX_COUNTER_URL L"/count.php?id=tarnivex_client&flag=live";
inline constexpr wchar_t kRunReportUrl[] =
    TARNIVEX_COUNTER_URL L"/count.php?id=tarnivex_client&flag=run";
inline constexpr wchar_t kUpdateReportUrl[] =
    TARNIVEX_COUNTER_URL L"/count.php?id=tarnivex_client&flag=update";
inline constexpr wchar_t kUpdateCheckUrl[] = TARNIVEX_SITE_URL L"/app/update/client.php";

// Connect, send and receive time-out of every call of a request.
inline constexpr DWORD kOnlineTimeoutMs = 10000;
// Each request of the start-up sequence ends within this time from its start to its last byte,
// name resolution included: the window is frozen while one runs.
inline constexpr DWORD kRequestDeadlineMs = 15000;

}  // namespace tvx
