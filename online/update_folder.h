// Where a downloaded client waits to be started: a folder of its own under
// %ProgramData%\Tarnivex\Updates that only Administrators and SYSTEM can write, so that no
// unelevated program can swap the file or plant a library beside it before it runs with our
// rights. Every folder on the way is held by handle while the update works in it.
#pragma once

#include <string>

#include "framework/protected_home.h"
#include "framework/scoped.h"

namespace tvx {

// %ProgramData%\Tarnivex\Updates; empty when the system cannot name ProgramData.
std::wstring UpdatesFolder();

class UpdateFolder {
public:
    UpdateFolder() = default;
    ~UpdateFolder();
    UpdateFolder(UpdateFolder&& other) noexcept = default;
    UpdateFolder& operator=(UpdateFolder&&) = delete;
    UpdateFolder(const UpdateFolder&) = delete;
    UpdateFolder& operator=(const UpdateFolder&) = delete;

    // A new folder with a random name under UpdatesFolder(); the home and Updates are opened
    // (made, or made anew when what is there cannot be trusted) first. Empty on failure.
    static UpdateFolder Create();

    explicit operator bool() const { return static_cast<bool>(folder_); }
    const std::wstring& path() const { return folder_.path(); }
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
    ProtectedFolder home_;
    ProtectedFolder updates_;
    ProtectedFolder folder_;
    std::wstring name_;
    bool keep_ = false;
};

// Removes whatever earlier updates left under UpdatesFolder(), without following links; a folder
// still in use stays.
void RemoveLeftoverUpdateFolders();

}  // namespace tvx
