// Pieces of the self-update that stand on their own.
#pragma once

#include <string>

#include "framework/scoped.h"

namespace tvx {

inline constexpr wchar_t kClientFileName[] = L"tarnivex_client.exe";
inline constexpr wchar_t kDownloadFailed[] = L"업데이트를 다운로드하지 못했습니다.";
inline constexpr wchar_t kLaunchFailed[] = L"업데이트를 실행하지 못했습니다.";

// The downloaded client's path: the user's temporary folder and kClientFileName; empty when
// the temporary folder is unknown or too long.
std::wstring ClientDownloadPath();

// Opens the downloaded file for reading while sharing read access only: as long as the handle
// lives, no other program can rewrite, replace or delete it, yet it can still be started.
UniqueFileHandle HoldFileForLaunch(const std::wstring& path);

}  // namespace tvx
