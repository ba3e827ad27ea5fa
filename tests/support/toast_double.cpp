#include "tests/support/toast_double.h"

#include <map>

#include "framework/scoped.h"
#include "notify/winrt_toast_interfaces.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"

namespace tvx::test {

namespace {

constexpr wchar_t kActivatableClasses[] =
    L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
const wchar_t* const kClasses[] = {kToastManagerClass, kXmlDocumentClass, kToastNotificationClass};

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "a b c rest of line": the first n fields and the rest.
std::vector<std::string> SplitFields(const std::string& line, size_t n) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() < n) {
        const size_t space = line.find(' ', start);
        if (space == std::string::npos) break;
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

std::wstring ToastDoubleDllPath() {
    std::wstring dir = ExeDir();  // ends with a backslash
    while (!dir.empty()) {
        const std::wstring candidate = dir + L"doubles\\tarnivex_toast_runtime.dll";
        if (FileExists(candidate)) return candidate;
        dir.pop_back();
        const size_t slash = dir.find_last_of(L'\\');
        if (slash == std::wstring::npos) break;
        dir.erase(slash + 1);
    }
    return {};
}

bool RegisterToastDouble(const std::wstring& dllPath) {
    if (dllPath.empty()) return false;
    bool all = true;
    for (const wchar_t* cls : kClasses) {
        const std::wstring key = std::wstring(kActivatableClasses) + cls;
        WriteString(HKEY_LOCAL_MACHINE, key, L"DllPath", dllPath);
        all = all && ReadString(HKEY_LOCAL_MACHINE, key, L"DllPath") == dllPath;
    }
    return all;
}

void UnregisterToastDouble() {
    for (const wchar_t* cls : kClasses) {
        DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kActivatableClasses) + cls);
    }
}

std::vector<std::string> ReadToastLog(const std::wstring& logPath) {
    std::vector<std::string> lines;
    UniqueFileHandle file(::CreateFileW(logPath.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<ToastShow> ToastShows(const std::vector<std::string>& lines) {
    std::vector<ToastShow> shows;
    for (const std::string& line : lines) {
        const auto f = SplitFields(line, 4);
        if (f.size() != 5 || f[0] != "show") continue;
        ToastShow show;
        show.threadId = static_cast<DWORD>(std::stoul(f[1]));
        show.time = std::stoull(f[2]);
        show.appId = FromUtf8(f[3]);
        show.xml = FromUtf8(f[4]);
        shows.push_back(show);
    }
    return shows;
}

int CountLines(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const std::string& line : lines) n += line == text;
    return n;
}

std::vector<std::string> UnreleasedObjects(const std::vector<std::string>& lines) {
    std::map<std::string, std::pair<int, int>> counts;
    for (const std::string& line : lines) {
        if (line.rfind("created ", 0) == 0) ++counts[line.substr(8)].first;
        if (line.rfind("final release ", 0) == 0) ++counts[line.substr(14)].second;
    }
    std::vector<std::string> unbalanced;
    for (const auto& [name, c] : counts) {
        if (c.first != c.second) {
            unbalanced.push_back(name + " created " + std::to_string(c.first) + " released " +
                                 std::to_string(c.second));
        }
    }
    return unbalanced;
}

ToastDoubleSession::ToastDoubleSession() {
    registered_ = RegisterToastDouble(ToastDoubleDllPath());
    wchar_t folder[MAX_PATH] = {};
    wchar_t file[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    if (::GetTempFileNameW(folder, L"tst", 0, file) != 0) logPath_ = file;  // created empty
    ::SetEnvironmentVariableW(L"TARNIVEX_TOAST_LOG", logPath_.c_str());
}

ToastDoubleSession::~ToastDoubleSession() {
    ::SetEnvironmentVariableW(L"TARNIVEX_TOAST_LOG", nullptr);
    if (!logPath_.empty()) ::DeleteFileW(logPath_.c_str());
    UnregisterToastDouble();
}

}  // namespace tvx::test
