#include "tests/release/release_support.h"

#include <bcrypt.h>
#include <shobjidl.h>
#include <softpub.h>
#include <wintrust.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "framework/scoped.h"
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

namespace {

std::wstring Hex(const BYTE* bytes, DWORD size) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (DWORD i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

}  // namespace

std::wstring SignerFingerprint(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;

    std::wstring fingerprint;
    if (::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == 0) {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* cert = signer ? ::WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        // Hashed here: Wine's certificate store does not compute the SHA-256 property.
        BYTE hash[32];
        DWORD size = sizeof hash;
        if (cert &&
            ::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, cert->pCert->pbCertEncoded,
                                    cert->pCert->cbCertEncoded, hash, &size)) {
            fingerprint = Hex(hash, size);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return fingerprint;
}

std::wstring ShortcutTarget(const std::wstring& shortcut) {
    const ComApartment apartment;
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
