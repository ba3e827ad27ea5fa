#include "framework/handle_facts.h"

#include <aclapi.h>

namespace tvx {

std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(n);
    }
    constexpr std::wstring_view kPrefix = L"\\\\?\\";
    if (path.compare(0, kPrefix.size(), kPrefix) == 0) path.erase(0, kPrefix.size());
    return path;
}

std::vector<BYTE> OwnerSid(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &sd) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<BYTE> bytes;
    if (owner && ::IsValidSid(owner)) {
        const BYTE* first = static_cast<const BYTE*>(owner);
        bytes.assign(first, first + ::GetLengthSid(owner));
    }
    ::LocalFree(sd);
    return bytes;
}

}  // namespace tvx
