// Where a downloaded client waits to be started: a folder of its own under
// %ProgramData%\Tarnivex\Updates that only Administrators and SYSTEM can write, so that no
// unelevated program can swap the file or plant a library beside it before it runs with our
// rights.
#pragma once

#include <string>

#include "framework/scoped.h"

namespace tvx {

// The protected DACL of everything under %ProgramData%\Tarnivex: full control for Administrators
// and SYSTEM, nothing inherited from above, nothing for anyone else.
inline constexpr wchar_t kAdminsOnlySddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// %ProgramData%\Tarnivex\Updates; empty when the system cannot name ProgramData.
std::wstring UpdatesFolder();

class UpdateFolder {
public:
    UpdateFolder() = default;
    ~UpdateFolder();
    UpdateFolder(UpdateFolder&& other) noexcept;
    UpdateFolder& operator=(UpdateFolder&&) = delete;
    UpdateFolder(const UpdateFolder&) = delete;
    UpdateFolder& operator=(const UpdateFolder&) = delete;

    // A new folder with a random name under UpdatesFolder(); the folders above it are made (or
    // taken back) with the protected DACL first. Empty on failure.
    static UpdateFolder Create();

    explicit operator bool() const { return !path_.empty(); }
    const std::wstring& path() const { return path_; }
    std::wstring ClientPath() const;

    // The client file, created new and open for writing, shared for reading only: nobody else
    // can write, rename or delete it while the handle lives.
    UniqueFileHandle CreateClientFile() const;
    // The written client, open for reading and shared for reading only, held until it has been
    // started (a program cannot be started while anyone holds it open for writing).
    UniqueFileHandle OpenClientForStart() const;

    // The client has been started: the folder stays until a later start removes it.
    void Keep() { keep_ = true; }

private:
    std::wstring path_;
    bool keep_ = false;
};

// Removes the folders earlier updates left under UpdatesFolder(); a folder still in use stays.
void RemoveLeftoverUpdateFolders();

}  // namespace tvx
