// The development server's control endpoints, for the benchmarks that switch its modes.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "framework/scoped.h"
#include "online/online_endpoints.h"

namespace bench {

// Control requests to the development server; false when it does not answer.
inline bool Control(const wchar_t* path, const std::string& body) {
    URL_COMPONENTSW parts{};
    wchar_t host[256] = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    if (!::InternetCrackUrlW(tvx::kUpdateCheckUrl, 0, 0, &parts)) return false;
    tvx::UniqueInternet session(
        ::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    // The server's control endpoints answer on the port after the public one.
    const INTERNET_PORT controlPort = static_cast<INTERNET_PORT>(parts.nPort + 1);
    tvx::UniqueInternet connection(::InternetConnectW(session.get(), host, controlPort, nullptr,
                                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    tvx::UniqueInternet request(::HttpOpenRequestW(connection.get(), L"POST", path, nullptr,
                                                   nullptr, nullptr,
                                                   INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD, 0));
    return request && ::HttpSendRequestW(request.get(), nullptr, 0, const_cast<char*>(body.data()),
                                         static_cast<DWORD>(body.size()));
}

}  // namespace bench
