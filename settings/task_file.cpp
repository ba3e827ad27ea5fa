#include "settings/task_file.h"

#include <windows.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>

#include "framework/known_folder.h"
#include "framework/scoped.h"

namespace tvx {

namespace {

// Full control for Administrators and SYSTEM, nothing inherited, nothing for anyone else.
constexpr wchar_t kAdminsOnlySddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

struct LocalSecurityDescriptor {
    PSECURITY_DESCRIPTOR sd = nullptr;
    LocalSecurityDescriptor() {
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnlySddl,
                                                                    SDDL_REVISION_1, &sd, nullptr))
            sd = nullptr;
    }
    ~LocalSecurityDescriptor() {
        if (sd) ::LocalFree(sd);
    }
    LocalSecurityDescriptor(const LocalSecurityDescriptor&) = delete;
    LocalSecurityDescriptor& operator=(const LocalSecurityDescriptor&) = delete;
};

// Creates the folder administrators-only; one that exists already (anyone may create folders
// under ProgramData) is taken over: Administrators become its owner and the DACL is replaced.
bool MakeProtectedFolder(const std::wstring& path) {
    LocalSecurityDescriptor sd;
    if (!sd.sd) return false;
    SECURITY_ATTRIBUTES sa{sizeof sa, sd.sd, FALSE};
    if (::CreateDirectoryW(path.c_str(), &sa)) return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    // A junction could lead the file anywhere.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(sd.sd, &present, &dacl, &defaulted) || !present) return false;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof admins;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize)) {
        return false;
    }
    std::wstring writable = path;
    return ::SetNamedSecurityInfoW(writable.data(), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   admins, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::wstring WriteTaskDefinitionFile(const std::string& bytes) {
    const std::wstring programData = KnownFolderPath(FOLDERID_ProgramData);
    if (programData.empty()) return {};
    const std::wstring folder = programData + L"\\Tarnivex";
    if (!MakeProtectedFolder(folder)) return {};
    // One name per process: two copies never share a file, and a file left by a killed run of
    // the same id is replaced, not reused.
    const std::wstring path =
        folder + L"\\autorun-task-" + std::to_wstring(::GetCurrentProcessId()) + L".xml";
    ::DeleteFileW(path.c_str());
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                &written, nullptr) &&
                    written == bytes.size();
    file.reset();
    if (!ok) {
        ::DeleteFileW(path.c_str());
        return {};
    }
    return path;
}

}  // namespace tvx
