#include "tests/support/process_util.h"

#include <vector>

#include "framework/scoped.h"

namespace tvx::test {

std::wstring ExeDir() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    dir.erase(dir.find_last_of(L'\\') + 1);
    return dir;
}

bool StartCaptured(const std::wstring& commandLine, CapturedProcess& child) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &sa, 0)) return false;
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd.get();
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                          &pi)) {
        return false;
    }
    child.process.reset(pi.hProcess);
    child.thread.reset(pi.hThread);
    child.output = std::move(readEnd);
    // Our copy of the write end goes away here, so reads end when the child closes its own.
    return true;
}

ProcessResult RunCapture(const std::wstring& commandLine, DWORD timeoutMs) {
    ProcessResult result;
    CapturedProcess child;
    if (!StartCaptured(commandLine, child)) return result;
    const UniqueHandle& process = child.process;
    const UniqueHandle& readEnd = child.output;

    const DWORD start = ::GetTickCount();
    char buffer[4096];
    for (;;) {
        DWORD avail = 0;
        if (!::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &avail, nullptr)) break;
        if (avail > 0) {
            DWORD got = 0;
            if (!::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) || got == 0) break;
            result.output.append(buffer, got);
            continue;
        }
        if (::WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0) {
            // Drain what is left after the exit.
            DWORD got = 0;
            while (::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &avail, nullptr) &&
                   avail > 0 && ::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) &&
                   got > 0) {
                result.output.append(buffer, got);
            }
            break;
        }
        if (::GetTickCount() - start > timeoutMs) {
            result.timedOut = true;
            ::TerminateProcess(process.get(), 1);
            break;
        }
    }
    ::WaitForSingleObject(process.get(), 5000);
    ::GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

}  // namespace tvx::test
