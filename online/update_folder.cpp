#include "online/update_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <bcrypt.h>
#include <knownfolders.h>
#include <sddl.h>

#include <utility>

#include "framework/known_folder.h"

namespace tvx {

namespace {

constexpr wchar_t kClientFileName[] = L"tarnivex_client.exe";

// A security descriptor made from SDDL, freed with LocalFree.
class SecurityDescriptor {
public:
    explicit SecurityDescriptor(const wchar_t* sddl) {
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd_,
                                                                    nullptr)) {
            sd_ = nullptr;
        }
    }
    ~SecurityDescriptor() {
        if (sd_) ::LocalFree(sd_);
    }
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
    PSECURITY_DESCRIPTOR get() const { return sd_; }

private:
    PSECURITY_DESCRIPTOR sd_ = nullptr;
};

bool IsPlainFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    // A junction or symbolic link could lead the client anywhere.
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Creates the folder with the protected DACL; a folder that exists already (anyone may create
// folders under ProgramData) is taken over: Administrators become its owner and the DACL is
// replaced, so whoever made it first keeps no rights in it.
bool MakeProtectedFolder(const std::wstring& path) {
    SecurityDescriptor sd(kAdminsOnlySddl);
    if (!sd.get()) return false;
    SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
    if (::CreateDirectoryW(path.c_str(), &sa)) return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS || !IsPlainFolder(path)) return false;

    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted) || !present) {
        return false;
    }
    BYTE adminsBuffer[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof adminsBuffer;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsBuffer, &adminsSize)) {
        return false;
    }
    std::wstring writable = path;
    // Owner and DACL in one call; PROTECTED: nothing is inherited from the parent.
    const DWORD rc =
        ::SetNamedSecurityInfoW(writable.data(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                    PROTECTED_DACL_SECURITY_INFORMATION,
                                adminsBuffer, nullptr, dacl, nullptr);
    return rc == ERROR_SUCCESS;
}

std::wstring RandomName() {
    BYTE bytes[16];
    if (!BCRYPT_SUCCESS(
            ::BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return {};
    }
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name;
    for (BYTE b : bytes) {
        name += kHex[b >> 4];
        name += kHex[b & 0xF];
    }
    return name;
}

// Calls visit(path, attributes) for every entry of the folder but "." and "..".
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") visit(folder + L"\\" + name, found.dwFileAttributes);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

bool IsPlainFolderEntry(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void DeleteFolderTree(const std::wstring& folder) {
    ForEachEntry(folder, [](const std::wstring& path, DWORD attributes) {
        if (IsPlainFolderEntry(attributes)) {
            DeleteFolderTree(path);
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            ::RemoveDirectoryW(path.c_str());  // a link: removed, never followed
        } else {
            ::DeleteFileW(path.c_str());
        }
    });
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::wstring UpdatesFolder() {
    const std::wstring programData = KnownFolderPath(FOLDERID_ProgramData);
    return programData.empty() ? std::wstring() : programData + L"\\Tarnivex\\Updates";
}

UpdateFolder::~UpdateFolder() {
    if (!path_.empty() && !keep_) DeleteFolderTree(path_);
}

UpdateFolder::UpdateFolder(UpdateFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})), keep_(other.keep_) {}

UpdateFolder UpdateFolder::Create() {
    const std::wstring updates = UpdatesFolder();
    if (updates.empty()) return {};
    const std::wstring tarnivex = updates.substr(0, updates.rfind(L'\\'));
    const std::wstring name = RandomName();
    if (name.empty() || !MakeProtectedFolder(tarnivex) || !MakeProtectedFolder(updates)) {
        return {};
    }
    // A fresh name: CreateDirectory fails rather than reuse a folder that exists.
    const std::wstring path = updates + L"\\" + name;
    SecurityDescriptor sd(kAdminsOnlySddl);
    SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
    if (!sd.get() || !::CreateDirectoryW(path.c_str(), &sa)) return {};
    UpdateFolder folder;
    folder.path_ = path;
    return folder;
}

std::wstring UpdateFolder::ClientPath() const { return path_ + L"\\" + kClientFileName; }

UniqueFileHandle UpdateFolder::CreateClientFile() const {
    return UniqueFileHandle(::CreateFileW(ClientPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

UniqueFileHandle UpdateFolder::OpenClientForStart() const {
    return UniqueFileHandle(::CreateFileW(ClientPath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void RemoveLeftoverUpdateFolders() {
    const std::wstring updates = UpdatesFolder();
    if (updates.empty() || !IsPlainFolder(updates)) return;
    ForEachEntry(updates, [](const std::wstring& path, DWORD attributes) {
        if (IsPlainFolderEntry(attributes)) DeleteFolderTree(path);
    });
}

}  // namespace tvx
