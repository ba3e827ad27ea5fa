// The file a task definition is handed to schtasks in. schtasks reads it with our rights, so it
// lies in the protected home (%ProgramData%\Tarnivex), which no unelevated program can write to
// or swap, and the home is held open while the file is in use.
#pragma once

#include <string>

#include "framework/protected_home.h"

namespace tvx {

class TaskDefinitionFile {
public:
    // Writes the bytes into a new file with a random name in the home; empty when the home or
    // the file could not be had.
    static TaskDefinitionFile Write(const std::string& bytes);

    TaskDefinitionFile() = default;
    TaskDefinitionFile(TaskDefinitionFile&&) noexcept = default;
    TaskDefinitionFile& operator=(TaskDefinitionFile&&) = delete;
    TaskDefinitionFile(const TaskDefinitionFile&) = delete;
    TaskDefinitionFile& operator=(const TaskDefinitionFile&) = delete;
    // The definition has been used (or not): it goes.
    ~TaskDefinitionFile();

    explicit operator bool() const { return !name_.empty(); }
    // For the schtasks command line only.
    std::wstring path() const;

private:
    ProtectedFolder home_;
    std::wstring name_;
};

}  // namespace tvx
