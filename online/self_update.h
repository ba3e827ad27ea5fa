// Pieces of the self-update that stand on their own: what the user is told, and starting the
// verified client.
#pragma once

#include <optional>
#include <string>

#include "framework/scoped.h"

namespace tvx {

inline constexpr wchar_t kDownloadFailed[] = L"업데이트를 다운로드하지 못했습니다.";
inline constexpr wchar_t kLaunchFailed[] = L"업데이트를 실행하지 못했습니다.";
inline constexpr wchar_t kNotVerified[] =
    L"업데이트 파일이 올바르게 서명되지 않아 확인할 수 없습니다. 업데이트를 실행하지 않았습니다.";
// Shown over the download.
inline constexpr wchar_t kDownloading[] = L"업데이트를 다운로드하는 중입니다...";

// The client is the setup: silent, and "/update" makes it start the new program when it has
// installed it.
inline constexpr wchar_t kSetupUpdateSwitches[] = L"/S /update";

// A client created suspended. Until ResumeClient has let it run, the process is ended when this
// goes: no early return and no exception between its creation and its start leaves an elevated
// process waiting for good.
class SuspendedClient {
public:
    SuspendedClient(UniqueHandle process, UniqueHandle thread);
    ~SuspendedClient();
    SuspendedClient(SuspendedClient&& other) noexcept = default;
    SuspendedClient& operator=(SuspendedClient&&) = delete;
    SuspendedClient(const SuspendedClient&) = delete;
    SuspendedClient& operator=(const SuspendedClient&) = delete;

    HANDLE process() const { return process_.get(); }
    bool resumed() const { return resumed_; }

private:
    friend bool ResumeClient(SuspendedClient& client);
    UniqueHandle process_;
    UniqueHandle thread_;  // its first thread, suspended until resumed
    bool resumed_ = false;
};

// Creates the client's process suspended, with its own folder as the current directory (no
// library is looked for anywhere a user could write) and the arguments after its quoted path.
// Nothing when it cannot be started.
std::optional<SuspendedClient> StartClientSuspended(const std::wstring& path,
                                                    const std::wstring& folder,
                                                    const std::wstring& arguments = L"");

// Lets the client run. When the thread cannot be resumed, the process is ended and waited for,
// and the result is false: nothing is left behind.
bool ResumeClient(SuspendedClient& client);

// For tests: while set, ResumeClient fails as a refused resume would.
void FailClientResumeForTests(bool fail);

// For tests only, set in their own process (the program never sets it): called right after
// ResumeClient has let the client run, before the hand-over goes on. A test waits there until the
// client has looked at what it meets, so that anything released later shows every time instead
// of by luck of timing.
using ClientResumedHook = void (*)();
void SetClientResumedHookForTests(ClientResumedHook hook);

}  // namespace tvx
