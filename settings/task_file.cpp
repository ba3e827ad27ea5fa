#include "settings/task_file.h"

#include <windows.h>

namespace tvx {

TaskDefinitionFile TaskDefinitionFile::Write(const std::string& bytes) {
    TaskDefinitionFile file;
    file.home_ = OpenProtectedHome();
    const std::wstring random = RandomHexName();
    if (!file.home_ || random.empty()) return {};
    const std::wstring name = L"autorun-task-" + random + L".xml";
    {
        // Closed before schtasks opens it: a writer's handle would keep a reader out.
        const UniqueFileHandle out =
            file.home_.OpenFile(name, GENERIC_WRITE, 0, FileDisposition::CreateNew);
        if (!out) return {};
        file.name_ = name;  // from here on the destructor removes it
        DWORD written = 0;
        if (!::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) ||
            written != bytes.size()) {
            return {};
        }
    }
    return file;
}

TaskDefinitionFile::~TaskDefinitionFile() {
    if (!name_.empty() && home_) home_.RemoveEntry(name_);
}

std::wstring TaskDefinitionFile::path() const { return home_.path() + L"\\" + name_; }

}  // namespace tvx
