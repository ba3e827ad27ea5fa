#include "framework/known_folder.h"

#include <shlobj.h>

#include "framework/scoped.h"

namespace tvx {

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    CoTaskMem<wchar_t> path;
    // Flags 0: looked up, never created; the path comes from the shell's allocator.
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put())) || !path.get()) return {};
    return path.get();
}

}  // namespace tvx
