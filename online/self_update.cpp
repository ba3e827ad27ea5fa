#include "online/self_update.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace tvx {

std::optional<SuspendedClient> StartClientSuspended(const std::wstring& path,
                                                    const std::wstring& folder) {
    // The path in quotes as the only argument, as the shell would start it.
    std::wstring line = L"\"" + path + L"\"";
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, folder.c_str(), &si, &pi)) {
        return std::nullopt;
    }
    SuspendedClient client;
    client.process.reset(pi.hProcess);
    client.thread.reset(pi.hThread);
    return client;
}

namespace {
std::atomic<ClientResumedHook> g_clientResumed{nullptr};
}  // namespace

void ResumeClient(const SuspendedClient& client) {
    ::ResumeThread(client.thread.get());
    if (const ClientResumedHook hook = g_clientResumed.load()) hook();
}

void SetClientResumedHookForTests(ClientResumedHook hook) { g_clientResumed.store(hook); }

}  // namespace tvx
