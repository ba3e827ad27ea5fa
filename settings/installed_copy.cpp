#include "settings/installed_copy.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>

#include <vector>

#include "framework/known_folder.h"
#include "framework/handle_facts.h"
#include "framework/scoped.h"

namespace tvx {

namespace {

// NT SERVICE\TrustedInstaller, the owner of the system's own folders.
constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Any right that lets its holder put, replace or remove a file, or hand itself more rights.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD |
                                      DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                      GENERIC_ALL | MAXIMUM_ALLOWED;

bool IsTrustedSid(PSID sid, PSID alsoTrusted) {
    if (!sid || !::IsValidSid(sid)) return false;
    if (alsoTrusted && ::IsValidSid(alsoTrusted) && ::EqualSid(sid, alsoTrusted)) return true;
    if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
        ::IsWellKnownSid(sid, WinLocalSystemSid)) {
        return true;
    }
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return false;
    const bool trustedInstaller = ::lstrcmpiW(text, kTrustedInstallerSid) == 0;
    ::LocalFree(text);
    return trustedInstaller;
}

UniqueFileHandle OpenForCheck(const std::wstring& path) {
    // Shared for everything: the running program holds its own file open.
    return UniqueFileHandle(::CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The owner of the system's Program Files folder, as a SID's bytes; empty when unknown.
std::vector<BYTE> ProgramFilesOwner() {
    const std::wstring folder = KnownFolderPath(FOLDERID_ProgramFiles);
    if (folder.empty()) return {};
    const UniqueFileHandle handle = OpenForCheck(folder);
    return handle ? OwnerSid(handle.get()) : std::vector<BYTE>();
}

}  // namespace

std::wstring RecordedInstallLocation() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                        key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(key.get(), kInstallLocationValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return std::wstring(buffer, ::wcsnlen(buffer, size / sizeof(wchar_t)));
}

bool IsExeInFolder(std::wstring_view exePath, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    const size_t slash = exePath.rfind(L'\\');
    if (folder.empty() || slash == std::wstring_view::npos) return false;
    const std::wstring_view parent = exePath.substr(0, slash);
    const std::wstring_view name = exePath.substr(slash + 1);
    auto same = [](std::wstring_view a, std::wstring_view b) {
        return a.size() == b.size() &&
               ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                      static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    };
    return same(parent, folder) && same(name, kInstalledExeName);
}

bool SecurityAdmitsOnlyAdministrators(PSECURITY_DESCRIPTOR sd, PSID alsoTrusted) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!sd || !::GetSecurityDescriptorOwner(sd, &owner, &defaulted) ||
        !IsTrustedSid(owner, alsoTrusted)) {
        return false;
    }
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) {
        return false;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Entries only passed on to what is created inside (CREATOR OWNER's) say nothing here.
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;  // callbacks, objects
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kChangeRights) != 0 && !IsTrustedSid(sid, alsoTrusted)) return false;
    }
    return true;
}

bool OnlyAdministratorsCanChange(HANDLE object, PSID alsoTrusted) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(object, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr, &sd) != ERROR_SUCCESS) {
        return false;
    }
    const bool only = SecurityAdmitsOnlyAdministrators(sd, alsoTrusted);
    ::LocalFree(sd);
    return only;
}

bool IsInstalledCopy(const std::wstring& exePath) {
    const std::wstring location = RecordedInstallLocation();
    if (location.empty() || exePath.empty()) return false;
    const UniqueFileHandle folder = OpenForCheck(location);
    const UniqueFileHandle exe = OpenForCheck(exePath);
    if (!folder || !exe) return false;
    const std::wstring folderPath = FinalPath(folder.get());
    const std::wstring exeFinal = FinalPath(exe.get());
    if (folderPath.empty() || !IsExeInFolder(exeFinal, folderPath)) return false;
    std::vector<BYTE> systemOwner = ProgramFilesOwner();
    const PSID alsoTrusted = systemOwner.empty() ? nullptr : systemOwner.data();
    return OnlyAdministratorsCanChange(folder.get(), alsoTrusted) &&
           OnlyAdministratorsCanChange(exe.get(), alsoTrusted);
}

}  // namespace tvx
