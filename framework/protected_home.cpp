#include "framework/protected_home.h"

#include "framework/handle_facts.h"

#include <windows.h>
#include <winternl.h>
#include <aclapi.h>
#include <bcrypt.h>
#include <knownfolders.h>
#include <sddl.h>

#include <cstring>
#include <utility>

#include "framework/known_folder.h"

namespace tvx {

namespace {

constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);

// Rights every folder handle carries: list, add files and folders, traverse, read the owner, set
// the DACL. Delete sharing is never given, so the folder cannot be renamed or removed while held;
// read and write sharing lets another copy of the program (a /revert beside the window) hold it
// as well.
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                                FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC |
                                SYNCHRONIZE;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

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

struct Opened {
    UniqueFileHandle handle;
    NTSTATUS status = 0;
};

// NtCreateFile relative to an open folder: the only way to name a file by a handle rather than a
// path. Reparse points are opened as themselves (where the system supports that).
Opened OpenRelative(HANDLE folder, std::wstring_view name, DWORD access, DWORD share,
                    ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR sd) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.data());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, sd);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    Opened opened;
    opened.status = ::NtCreateFile(
        &handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
        FILE_ATTRIBUTE_NORMAL, share, disposition,
        options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(opened.status)) opened.handle.reset(handle);
    return opened;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// What an opened entry is. A link that the system followed while opening (Wine does, having no
// reparse points of its own) shows itself only by a final path outside the folder: `there` is
// false then, and nothing may be done through that handle, not even a rename or a delete.
struct EntryFacts {
    bool there = false;
    bool reparse = false;
    bool folder = false;
};

EntryFacts Inspect(HANDLE handle, const std::wstring& expectedPath) {
    EntryFacts facts;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        return facts;
    }
    facts.there = SamePath(FinalPath(handle), expectedPath);
    facts.reparse = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.folder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return facts;
}

bool TrustedOwner(HANDLE handle, const std::vector<BYTE>& rootOwner) {
    std::vector<BYTE> owner = OwnerSid(handle);
    if (owner.empty()) return false;
    PSID sid = owner.data();
    return ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           ::IsWellKnownSid(sid, WinLocalSystemSid) || (!rootOwner.empty() && owner == rootOwner);
}

// The DACL of `sddl`, protected, set through the handle. SetKernelObjectSecurity sets it on this
// folder alone: SetSecurityInfo would walk the folder's children by name to pass it on.
bool ApplyDacl(HANDLE handle, const wchar_t* sddl) {
    SecurityDescriptor sd(sddl);
    return sd.get() &&
           ::SetKernelObjectSecurity(
               handle, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, sd.get());
}

std::wstring Child(const std::wstring& folder, std::wstring_view name) {
    return folder + L"\\" + std::wstring(name);
}

}  // namespace

// Builds folders from handles for the members and functions of this file.
class ProtectedFolderAccess {
public:
    static ProtectedFolder Make(UniqueFileHandle handle, std::wstring path,
                                std::vector<BYTE> rootOwner) {
        ProtectedFolder folder;
        folder.handle_ = std::move(handle);
        folder.path_ = std::move(path);
        folder.rootOwner_ = std::move(rootOwner);
        return folder;
    }
    static const std::vector<BYTE>& RootOwner(const ProtectedFolder& f) { return f.rootOwner_; }
};

std::wstring RandomHexName() {
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

ProtectedFolder ProtectedFolder::CreateSubfolder(std::wstring_view name,
                                                 const wchar_t* sddl) const {
    if (!*this) return {};
    SecurityDescriptor sd(sddl);
    if (!sd.get()) return {};
    Opened made = OpenRelative(handle(), name, kFolderAccess, kFolderShare, FILE_CREATE,
                               FILE_DIRECTORY_FILE, sd.get());
    if (!made.handle) return {};
    const std::wstring expected = Child(path_, name);
    const EntryFacts facts = Inspect(made.handle.get(), expected);
    if (!facts.there || facts.reparse || !facts.folder) return {};
    return ProtectedFolderAccess::Make(std::move(made.handle), expected, rootOwner_);
}

ProtectedFolder ProtectedFolder::OpenSubfolder(std::wstring_view name, const wchar_t* sddl) const {
    if (!*this) return {};
    const std::wstring expected = Child(path_, name);
    // Two rounds: another copy of the program may make the folder between our open and create.
    for (int round = 0; round < 2; ++round) {
        Opened found =
            OpenRelative(handle(), name, kFolderAccess, kFolderShare, FILE_OPEN, 0, nullptr);
        if (found.handle) {
            const EntryFacts facts = Inspect(found.handle.get(), expected);
            // Reached through a link: neither this handle nor the name can be trusted to act on.
            if (!facts.there) return {};
            if (!facts.reparse && facts.folder && TrustedOwner(found.handle.get(), rootOwner_)) {
                // Made by us or by the setup, which may have left the DACL ProgramData passes on.
                if (!ApplyDacl(found.handle.get(), sddl)) return {};
                return ProtectedFolderAccess::Make(std::move(found.handle), expected, rootOwner_);
            }
            found.handle.reset();
            // Whoever made it may still hold handles with the rights they gave themselves:
            // taking it over would not take those back. It goes aside, under a name nobody can
            // guess in advance, and ours is made anew.
            Opened aside = OpenRelative(handle(), name, DELETE, kFolderShare | FILE_SHARE_DELETE,
                                        FILE_OPEN, 0, nullptr);
            if (!aside.handle || !Inspect(aside.handle.get(), expected).there) return {};
            const std::wstring random = RandomHexName();
            if (random.empty() ||
                !RenameEntry(aside.handle.get(), std::wstring(name) + L"." + random + L".untrusted",
                             false)) {
                return {};
            }
        } else if (found.status != kNameNotFound && found.status != kPathNotFound) {
            return {};
        }
        ProtectedFolder made = CreateSubfolder(name, sddl);
        if (made) return made;
    }
    return {};
}

UniqueFileHandle ProtectedFolder::OpenFile(std::wstring_view name, DWORD access, DWORD share,
                                           FileDisposition disposition) const {
    if (!*this) return {};
    const std::wstring expected = Child(path_, name);
    const auto checked = [&](Opened opened) {
        if (!opened.handle) return UniqueFileHandle();
        const EntryFacts facts = Inspect(opened.handle.get(), expected);
        if (!facts.there || facts.reparse || facts.folder) return UniqueFileHandle();
        return std::move(opened.handle);
    };
    // Never FILE_OPEN_IF or FILE_OVERWRITE: where a name is a dangling link, some systems would
    // create or empty its target. Opening what exists and creating only what does not
    // (FILE_CREATE fails on any name that exists, link or not) leaves no such gap.
    for (int round = 0; round < 2; ++round) {
        if (disposition != FileDisposition::CreateNew) {
            Opened found = OpenRelative(handle(), name, access, share, FILE_OPEN,
                                        FILE_NON_DIRECTORY_FILE, nullptr);
            if (found.handle) {
                UniqueFileHandle file = checked(std::move(found));
                if (file && disposition == FileDisposition::Truncate) {
                    FILE_END_OF_FILE_INFO end = {};
                    if (!::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end,
                                                      sizeof end)) {
                        return {};
                    }
                }
                return file;
            }
            if (found.status != kNameNotFound || disposition == FileDisposition::OpenExisting) {
                return {};
            }
        }
        Opened made = OpenRelative(handle(), name, access, share, FILE_CREATE,
                                   FILE_NON_DIRECTORY_FILE, nullptr);
        if (made.handle) return checked(std::move(made));
        if (made.status != kNameCollision || disposition == FileDisposition::CreateNew) return {};
    }
    return {};
}

bool ProtectedFolder::RenameEntry(HANDLE entry, std::wstring_view newName, bool replace) const {
    if (!*this) return false;
    const auto rename = [&](HANDLE root, const std::wstring& target) {
        std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = replace;
        info->RootDirectory = root;
        info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, target.data(), info->FileNameLength);
        return ::SetFileInformationByHandle(entry, FileRenameInfo, info,
                                            static_cast<DWORD>(buffer.size())) != FALSE;
    };
    if (rename(handle(), std::wstring(newName))) return true;
    // Wine takes no folder handle here. The held folder cannot be renamed away meanwhile (no
    // delete sharing), so its full path names that same folder.
    return ::GetLastError() == ERROR_INVALID_PARAMETER &&
           rename(nullptr, L"\\??\\" + Child(path_, newName));
}

std::vector<std::wstring> ProtectedFolder::EntryNames() const {
    std::vector<std::wstring> names;
    if (!*this) return names;
    alignas(8) BYTE buffer[16384];
    FILE_INFO_BY_HANDLE_CLASS what = FileFullDirectoryRestartInfo;
    while (::GetFileInformationByHandleEx(handle(), what, buffer, sizeof buffer)) {
        what = FileFullDirectoryInfo;
        for (BYTE* at = buffer;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") names.push_back(std::move(name));
            if (!entry->NextEntryOffset) break;
            at += entry->NextEntryOffset;
        }
    }
    return names;
}

bool ProtectedFolder::RemoveEntry(std::wstring_view name) const {
    if (!*this) return false;
    const std::wstring expected = Child(path_, name);
    Opened found =
        OpenRelative(handle(), name, DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, nullptr);
    if (!found.handle) return found.status == kNameNotFound;
    const EntryFacts facts = Inspect(found.handle.get(), expected);
    // Reached through a link: deleting by this handle would delete the target.
    if (!facts.there) return false;
    if (facts.folder && !facts.reparse) {
        ProtectedFolder inner =
            ProtectedFolderAccess::Make(std::move(found.handle), expected, rootOwner_);
        for (const std::wstring& child : inner.EntryNames()) inner.RemoveEntry(child);
        found.handle = std::move(inner.handle_);
    }
    // A reparse point opened as itself is deleted as itself.
    FILE_DISPOSITION_INFO dispose = {TRUE};
    if (!::SetFileInformationByHandle(found.handle.get(), FileDispositionInfo, &dispose,
                                      sizeof dispose)) {
        return false;
    }
    found.handle.reset();
    return true;
}

namespace {

constexpr wchar_t kHomeName[] = L"Tarnivex";

ProtectedFolder OpenProgramData() {
    const std::wstring programData = KnownFolderPath(FOLDERID_ProgramData);
    if (programData.empty()) return {};
    // ProgramData itself belongs to the system: only administrators can replace it. It is held
    // like the folders below it, so that each of them is opened relative to a handle.
    UniqueFileHandle root(::CreateFileW(
        programData.c_str(), kFolderAccess & ~WRITE_DAC, kFolderShare, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!root) return {};
    std::wstring rootPath = FinalPath(root.get());
    std::vector<BYTE> rootOwner = OwnerSid(root.get());
    if (rootPath.empty()) return {};
    return ProtectedFolderAccess::Make(std::move(root), std::move(rootPath), std::move(rootOwner));
}

}  // namespace

ProtectedFolder OpenProtectedHome() {
    return OpenProgramData().OpenSubfolder(kHomeName, kHomeSddl);
}

bool RemoveProtectedHome() {
    const ProtectedFolder programData = OpenProgramData();
    if (!programData) return false;
    // What OpenSubfolder set aside goes too: links as links, never followed.
    const std::wstring prefix = std::wstring(kHomeName) + L".";
    constexpr std::wstring_view kAside = L".untrusted";
    for (const std::wstring& name : programData.EntryNames()) {
        if (name.size() > prefix.size() + kAside.size() && name.rfind(prefix, 0) == 0 &&
            name.compare(name.size() - kAside.size(), kAside.size(), kAside) == 0) {
            programData.RemoveEntry(name);
        }
    }
    return programData.RemoveEntry(kHomeName);
}

}  // namespace tvx
