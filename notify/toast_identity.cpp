#include "notify/toast_identity.h"

#include <windows.h>
#include <knownfolders.h>

#include <string>

#include "framework/known_folder.h"
#include "framework/message_box.h"
#include "framework/scoped.h"
#include "framework/user_text.h"
#include "notify/toast.h"

namespace tvx {

namespace {

constexpr wchar_t kIdentityKey[] = L"Software\\Classes\\AppUserModelId\\Tarnivex";
constexpr wchar_t kIconSuffix[] = L"\\ToastNotificationManagerCompat\\Apps\\Tarnivex\\icon.png";

}  // namespace

void RegisterToastIdentity() {
    {
        // Only the key's presence is tested: an existing description is never refreshed, even
        // when it lacks values.
        UniqueKey existing;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kIdentityKey, 0, KEY_READ, existing.put()) ==
            ERROR_SUCCESS) {
            return;
        }
    }

    UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kIdentityKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        AfxMessageBox(L"레지스트리 키 생성 실패!", 0);
        return;
    }

    // The icon is only recorded: no folder or file is made at this place.
    std::wstring iconPath = KnownFolderPath(FOLDERID_LocalAppData) + kIconSuffix;

    // Each value through a handle of its own with KEY_SET_VALUE; a failure is skipped. The two
    // fixed texts are 18 bytes each with their terminator.
    static_assert(sizeof(kToastAppId) == 18);
    SetRegistryString(kIdentityKey, L"DisplayName", kToastAppId);
    SetRegistryString(kIdentityKey, L"IconBackgroundColor", L"ff2B2B2B");
    SetRegistryString(kIdentityKey, L"IconUri", iconPath.c_str());
}

}  // namespace tvx
