// What a downloaded client says it is. The signature tells who made a file, not which file it is:
// an older signed build with a since-fixed hole, or our own uninstaller, carries the same
// signature as the newest setup. So a client is started only when its version resource names it
// a Tarnivex setup, by a marker that only the setup carries, of a version above our own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tvx {

// Shown when a correctly signed file is not a newer setup.
inline constexpr wchar_t kNotNewerSetup[] =
    L"업데이트 파일이 새 버전의 Tarnivex 설치 프로그램이 아닙니다. 업데이트를 실행하지 않았습니다.";

// The setup's version resource: ProductName and InternalName. The program calls itself
// "Tarnivex.exe" there, and the uninstaller "uninstall.exe".
inline constexpr wchar_t kSetupProductName[] = L"Tarnivex";
inline constexpr wchar_t kSetupInternalName[] = L"Tarnivex-setup";

// major.minor.build.revision, 16 bits each, major highest: compares as the numbers do.
using VersionNumber = std::uint64_t;
constexpr VersionNumber MakeVersion(unsigned major, unsigned minor, unsigned build,
                                    unsigned revision = 0) {
    return (VersionNumber{major & 0xFFFF} << 48) | (VersionNumber{minor & 0xFFFF} << 32) |
           (VersionNumber{build & 0xFFFF} << 16) | VersionNumber{revision & 0xFFFF};
}

struct VersionFacts {
    VersionNumber productVersion = 0;  // the fixed part's product version
    std::wstring productName;          // first string table that has it
    std::wstring internalName;
};

// The first RT_VERSION resource of a PE file as it lies on disk (not loaded); empty when the
// file is not a well-formed PE or has none. Every offset is checked against the file's size.
std::span<const BYTE> FindVersionResource(std::span<const BYTE> file);

// Reads a VS_VERSIONINFO block; nothing without a valid fixed part.
std::optional<VersionFacts> ParseVersionInfo(std::span<const BYTE> block);

// Through the handle held open since the signature check, so that what is read is what was
// verified and what starts. Nothing when the file has no readable version resource.
std::optional<VersionFacts> ReadVersionFacts(HANDLE file);

// This program's own product version (the project version).
VersionNumber OwnProductVersion();

// A Tarnivex setup whose product version is above `own`.
bool IsNewerTarnivexSetup(const std::optional<VersionFacts>& facts, VersionNumber own);

}  // namespace tvx
