#include "online/self_update.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace tvx {

namespace {
// How long an ended client may take to go before we stop waiting for it.
constexpr DWORD kTerminateWaitMs = 10000;
std::atomic<bool> g_failResume{false};
std::atomic<ClientResumedHook> g_clientResumed{nullptr};

void EndSuspended(HANDLE process) {
    if (!process) return;
    ::TerminateProcess(process, ERROR_CANCELLED);
    ::WaitForSingleObject(process, kTerminateWaitMs);
}
}  // namespace

SuspendedClient::SuspendedClient(UniqueHandle process, UniqueHandle thread)
    : process_(std::move(process)), thread_(std::move(thread)) {}

SuspendedClient::~SuspendedClient() {
    if (!resumed_) EndSuspended(process_.get());
}

std::optional<SuspendedClient> StartClientSuspended(const std::wstring& path,
                                                    const std::wstring& folder,
                                                    const std::wstring& arguments) {
    // The path in quotes first, as the shell would start it.
    std::wstring line = L"\"" + path + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, folder.c_str(), &si, &pi)) {
        return std::nullopt;
    }
    // Owned (and so ended on any way out) before anything else can fail.
    SuspendedClient client{UniqueHandle(pi.hProcess), UniqueHandle(pi.hThread)};
    return std::optional<SuspendedClient>(std::move(client));
}

bool ResumeClient(SuspendedClient& client) {
    if (client.resumed_) return true;
    // A handle that is no thread fails the call as a real refusal would.
    const HANDLE thread = g_failResume ? nullptr : client.thread_.get();
    if (::ResumeThread(thread) == static_cast<DWORD>(-1)) {
        EndSuspended(client.process_.get());
        client.process_.reset();
        client.thread_.reset();
        return false;
    }
    client.resumed_ = true;
    if (const ClientResumedHook hook = g_clientResumed.load()) hook();
    return true;
}

void FailClientResumeForTests(bool fail) { g_failResume = fail; }

void SetClientResumedHookForTests(ClientResumedHook hook) { g_clientResumed.store(hook); }

}  // namespace tvx
