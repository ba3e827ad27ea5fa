// The program's one folder on the machine, %ProgramData%\Tarnivex, and everything under it.
//
// The program runs with administrator rights while the user's own unelevated programs run beside
// it. Anyone may create folders under ProgramData, and the owner of a folder may replace it (or a
// file in it) with a junction or a link at any moment. So nothing here goes by path: each folder
// is opened relative to the handle of its parent, without following reparse points, checked (a
// plain folder, owned by Administrators or SYSTEM, and the handle's final path is where it should
// be), given its protected DACL through the handle, and held without delete sharing, so that it
// can be neither renamed nor replaced while the program works inside. Files are opened the same
// way relative to a held folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "framework/scoped.h"

namespace tvx {

// The home and what users may read (the log): Administrators and SYSTEM full control, Users read
// and list; nothing inherited from ProgramData, whose DACL lets every user create folders.
inline constexpr wchar_t kHomeSddl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)";
// What nobody else may even read (a downloaded client before it runs).
inline constexpr wchar_t kAdminsOnlySddl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

enum class FileDisposition {
    CreateNew,     // fails when the name exists
    OpenExisting,  // fails when it does not
    OpenAlways,    // opens it, or creates it when missing
    Truncate,      // as OpenAlways, then emptied
};

// A folder held open by handle (without delete sharing) for as long as the object lives.
class ProtectedFolder {
public:
    ProtectedFolder() = default;
    ProtectedFolder(ProtectedFolder&&) noexcept = default;
    ProtectedFolder& operator=(ProtectedFolder&&) noexcept = default;
    ProtectedFolder(const ProtectedFolder&) = delete;
    ProtectedFolder& operator=(const ProtectedFolder&) = delete;

    explicit operator bool() const { return static_cast<bool>(handle_); }
    HANDLE handle() const { return handle_.get(); }
    // Where the system says the held folder is ("C:\ProgramData\Tarnivex"): for messages and
    // for what takes a path (a program started from it), never for opening anything.
    const std::wstring& path() const { return path_; }

    // The subfolder `name`, made with `sddl` when missing. One that exists is used only when it
    // is a plain folder owned by Administrators or SYSTEM (its DACL is then set to `sddl`);
    // anything else (a junction, a link, a file, a folder someone else made) is renamed aside
    // and the folder made anew. Empty when that fails, or when the system followed a link to
    // reach it: then the folder is not used at all.
    ProtectedFolder OpenSubfolder(std::wstring_view name, const wchar_t* sddl) const;

    // A new subfolder; empty when the name exists.
    ProtectedFolder CreateSubfolder(std::wstring_view name, const wchar_t* sddl) const;

    // A file directly inside, opened without following links: a name that is a link, or that
    // the system resolves anywhere else, gives no handle. New files inherit the folder's DACL.
    // FILE_READ_ATTRIBUTES and SYNCHRONIZE are always added to `access`.
    UniqueFileHandle OpenFile(std::wstring_view name, DWORD access, DWORD share,
                              FileDisposition disposition) const;

    // Renames `entry` (an open handle with DELETE access to a file or folder directly inside)
    // to `newName` in this folder, replacing a file of that name when `replace`.
    bool RenameEntry(HANDLE entry, std::wstring_view newName, bool replace) const;

    // Removes `name` and, for a plain folder, everything in it, depth first, each entry by a
    // handle opened without following links: a junction or link is removed as itself and its
    // target never entered. An entry the system could only open through a link stays. Entries
    // still in use stay too. True when `name` is gone (or was never there).
    bool RemoveEntry(std::wstring_view name) const;

    // The names of the folder's entries ("." and ".." left out).
    std::vector<std::wstring> EntryNames() const;

private:
    friend ProtectedFolder OpenProtectedHome();
    friend class ProtectedFolderAccess;
    UniqueFileHandle handle_;
    std::wstring path_;
    // The owner of ProgramData, trusted like Administrators and SYSTEM (SYSTEM on Windows; the
    // prefix's one user under Wine, which keeps no owners of its own).
    std::vector<BYTE> rootOwner_;
};

// %ProgramData%\Tarnivex, made with kHomeSddl when missing (or when what is there cannot be
// trusted, see OpenSubfolder). Empty when the system cannot name ProgramData or the home cannot
// be had.
ProtectedFolder OpenProtectedHome();

// Removes %ProgramData%\Tarnivex as ProtectedFolder::RemoveEntry does, relative to a held
// ProgramData (a link in its place is removed as a link), and what OpenSubfolder set aside beside
// it. True when the home is gone.
bool RemoveProtectedHome();

// 32 lower-case hex digits from the system's random generator; empty when it fails.
std::wstring RandomHexName();

}  // namespace tvx
