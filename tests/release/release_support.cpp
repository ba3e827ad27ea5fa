#include "tests/release/release_support.h"

#include <shobjidl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "framework/scoped.h"
#include "online/client_signature.h"
#include "tests/support/app_driver.h"

namespace tvx::test {

namespace {

// "pid command line" of each process still in the job, one a line.
std::wstring JobProcesses(HANDLE job) {
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[63];
    } ids{};
    ids.list.NumberOfAssignedProcesses = 64;
    if (!::QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr)) {
        return L"(cannot list: " + std::to_wstring(::GetLastError()) + L")";
    }
    std::wstring text;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
        const auto pid = static_cast<DWORD>(ids.list.ProcessIdList[i]);
        text += std::to_wstring(pid) + L" " + ProcessCommandLine(pid) + L"\n";
    }
    return text;
}

}  // namespace

bool RunToTheEnd(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode,
                 std::wstring* leftOver) {
    // Wine starts its desktop process when some process first needs it, as that process's
    // child: let it be ours, not one in the job that would then never empty.
    ::GetDesktopWindow();
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return false;
    // Whatever is left when the job handle goes is ended with it.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          nullptr, &si, &pi)) {
        return false;
    }
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    // In the job before it runs a single instruction, so every child it starts is in it too.
    if (!::AssignProcessToJobObject(job.get(), process.get())) {
        ::TerminateProcess(process.get(), 1);
        return false;
    }
    ::ResumeThread(thread.get());

    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool ended = false;
    while (!ended && ::GetTickCount64() < deadline) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        ended = ::QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation,
                                            &accounting, sizeof accounting, nullptr) &&
                accounting.ActiveProcesses == 0;
        if (!ended) ::Sleep(50);
    }
    if (!ended) {
        if (leftOver) *leftOver = JobProcesses(job.get());
        ::TerminateJobObject(job.get(), 1);
    }
    ::WaitForSingleObject(process.get(), 5000);
    if (exitCode) ::GetExitCodeProcess(process.get(), exitCode);
    return ended;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    CoTaskMem<wchar_t> path;
    return SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, path.put())) ? path.get() : L"";
}

std::wstring SystemFolder() {
    wchar_t dir[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir, n);
}

std::wstring SignerFingerprint(const std::wstring& path) {
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    const SignatureCheck check = CheckSignature(file.get(), path);
    if (check.trust != S_OK || !check.signer) return {};
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (BYTE b : *check.signer) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

std::wstring ShortcutTarget(const std::wstring& shortcut) {
    const ApartmentScope apartment(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED),
                                   &::CoUninitialize);
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(link.put()))) &&
        SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(file.put()))) &&
        SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
        return path;
    }
    return {};
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameContents(const std::wstring& a, const std::wstring& b) {
    std::ifstream fa(std::filesystem::path(a), std::ios::binary);
    std::ifstream fb(std::filesystem::path(b), std::ios::binary);
    if (!fa || !fb) return false;
    const std::vector<char> da((std::istreambuf_iterator<char>(fa)), {});
    const std::vector<char> db((std::istreambuf_iterator<char>(fb)), {});
    return da == db;
}

unsigned long long FileSize(const std::wstring& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::path(path), error);
    return error ? 0 : size;
}

void RemovePath(const std::wstring& path) {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(path), error);
}

}  // namespace tvx::test
