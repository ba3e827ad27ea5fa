#include "online/self_update.h"

#include <windows.h>

namespace tvx {

std::wstring ClientDownloadPath() {
    wchar_t dir[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, dir);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring path(dir, n);
    if (path.back() != L'\\') path.push_back(L'\\');
    path += kClientFileName;
    return path;
}

UniqueFileHandle HoldFileForLaunch(const std::wstring& path) {
    return UniqueFileHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace tvx
