// Whether the running program is the copy the setup installed. Only that copy may get the logon
// task, which starts it with administrator rights: a copy anywhere else (a portable one, even in
// a Program Files folder some other installer opened to Users) could be swapped by any program.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

// The setup's Apps-and-features entry under HKLM, which only administrators can write.
inline constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnivex";
inline constexpr wchar_t kInstallLocationValue[] = L"InstallLocation";
inline constexpr wchar_t kInstalledExeName[] = L"Tarnivex.exe";

// The folder the setup recorded (64-bit view); empty when there is no installation.
std::wstring RecordedInstallLocation();

// Whether exePath names Tarnivex.exe directly inside folder. Both are final paths (no 8.3 names,
// no links); case does not matter, a trailing backslash of the folder does not either.
bool IsExeInFolder(std::wstring_view exePath, std::wstring_view folder);

// Whether an object's security admits no change by anyone but Administrators, SYSTEM,
// TrustedInstaller and `alsoTrusted` (may be null): one of them owns it, and no allowing entry
// that applies to the object itself gives anyone else a right to write, add, delete or change its
// security. A missing DACL admits everyone.
bool SecurityAdmitsOnlyAdministrators(PSECURITY_DESCRIPTOR sd, PSID alsoTrusted = nullptr);

// The same for an open file or folder, its security read through the handle (READ_CONTROL).
bool OnlyAdministratorsCanChange(HANDLE object, PSID alsoTrusted = nullptr);

// The recorded installation's Tarnivex.exe is the running executable (compared through handles,
// so 8.3 names and links cannot pass for it), and its folder and file admit no change by anyone
// but the administrators and the owner of the system's Program Files folder (TrustedInstaller on
// Windows; under Wine, which keeps no owners of its own, the prefix's one user).
bool IsInstalledCopy(const std::wstring& exePath);

}  // namespace tvx
