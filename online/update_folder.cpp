#include "online/update_folder.h"

#include <windows.h>
#include <knownfolders.h>

#include <utility>

#include "framework/known_folder.h"

namespace tvx {

namespace {

constexpr wchar_t kClientFileName[] = L"tarnivex_client.exe";
constexpr wchar_t kUpdatesName[] = L"Updates";

}  // namespace

std::wstring UpdatesFolder() {
    const std::wstring programData = KnownFolderPath(FOLDERID_ProgramData);
    return programData.empty() ? std::wstring() : programData + L"\\Tarnivex\\" + kUpdatesName;
}

UpdateFolder::~UpdateFolder() {
    if (!folder_ || keep_) return;
    // Our own hold would keep the removal from opening it for deleting.
    folder_ = ProtectedFolder();
    updates_.RemoveEntry(name_);
}

UpdateFolder UpdateFolder::Create() {
    UpdateFolder update;
    update.home_ = OpenProtectedHome();
    update.updates_ = update.home_.OpenSubfolder(kUpdatesName, kAdminsOnlySddl);
    update.name_ = RandomHexName();
    if (update.name_.empty()) return {};
    // A fresh name: creating fails rather than reuse a folder that exists.
    update.folder_ = update.updates_.CreateSubfolder(update.name_, kAdminsOnlySddl);
    if (!update.folder_) return {};
    return update;
}

std::wstring UpdateFolder::ClientPath() const { return path() + L"\\" + kClientFileName; }

UniqueFileHandle UpdateFolder::CreateClientFile() const {
    return folder_.OpenFile(kClientFileName, GENERIC_WRITE, FILE_SHARE_READ,
                            FileDisposition::CreateNew);
}

UniqueFileHandle UpdateFolder::OpenClientForStart() const {
    return folder_.OpenFile(kClientFileName, GENERIC_READ, FILE_SHARE_READ,
                            FileDisposition::OpenExisting);
}

void RemoveLeftoverUpdateFolders() {
    const ProtectedFolder home = OpenProtectedHome();
    const ProtectedFolder updates = home.OpenSubfolder(kUpdatesName, kAdminsOnlySddl);
    for (const std::wstring& name : updates.EntryNames()) updates.RemoveEntry(name);
}

}  // namespace tvx
