// What the user is told when the web site cannot be reached, by the update check and by the
// start-up sequence alike.
#pragma once

namespace tvx {

inline constexpr wchar_t kServerUnreachable[] = L"서버에 접속할 수 없습니다.";

}  // namespace tvx
