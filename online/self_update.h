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

struct SuspendedClient {
    UniqueHandle process;
    UniqueHandle thread;  // its first thread, still suspended
};

// Creates the client's process suspended, with its own folder as the current directory (no
// library is looked for anywhere a user could write). Nothing when it cannot be started.
std::optional<SuspendedClient> StartClientSuspended(const std::wstring& path,
                                                    const std::wstring& folder);

// Lets the suspended client run: the last step of the hand-over, once this process has let go of
// everything the client takes at its first instruction.
void ResumeClient(const SuspendedClient& client);

// For tests only, set in their own process (the program never sets it): called right after
// ResumeClient lets the client run, before the hand-over goes on. A test waits there until the
// client has looked at what it meets, so that anything released later shows every time instead
// of by luck of timing.
using ClientResumedHook = void (*)();
void SetClientResumedHookForTests(ClientResumedHook hook);

}  // namespace tvx
