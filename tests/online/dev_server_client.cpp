#include "tests/online/dev_server_client.h"

#include <wininet.h>

#include <stdexcept>

#include "framework/scoped.h"

namespace tvx::test {
namespace {

// One request to the control port.
std::string Request(const wchar_t* verb, const std::wstring& path, const std::string& body) {
    const std::wstring url = TARNIVEX_TEST_CONTROL_SERVER;
    wchar_t host[256] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) throw std::runtime_error("bad server url");

    UniqueInternet session(
        ::InternetOpenW(L"tarnivex-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    UniqueInternet connection(::InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    UniqueInternet request(::HttpOpenRequestW(
        connection.get(), verb, path.c_str(), nullptr, nullptr, nullptr,
        INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request || !::HttpSendRequestW(request.get(), nullptr, 0, const_cast<char*>(body.data()),
                                        static_cast<DWORD>(body.size()))) {
        throw std::runtime_error("development server request failed: " +
                                 std::to_string(::GetLastError()));
    }
    std::string reply;
    char chunk[4096];
    DWORD got = 0;
    while (::InternetReadFile(request.get(), chunk, sizeof chunk, &got) && got > 0)
        reply.append(chunk, got);
    // A refused switch (an unknown key, say) must not pass unnoticed.
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr) ||
        status != HTTP_STATUS_OK) {
        throw std::runtime_error("development server refused a control request: " +
                                 std::to_string(status) + " " + reply);
    }
    return reply;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

std::wstring PlainServerUrl(const std::wstring& path) {
    const std::wstring url = TARNIVEX_TEST_SERVER;
    const size_t colon = url.rfind(L':');
    const int port = std::stoi(url.substr(colon + 1));
    return L"http://127.0.0.1:" + std::to_wstring(port + 2) + path;
}

std::wstring ServerUrl(const std::wstring& path) {
    return std::wstring(TARNIVEX_TEST_SERVER) + path;
}

void ResetServer() { Request(L"POST", L"/_reset", ""); }

void ConfigureServer(const std::string& key, const std::string& value) {
    Request(L"POST", L"/_config?key=" + Widen(key), value);
}

void SetListening(bool on) { Request(L"POST", L"/_listen", on ? "on" : "off"); }

int ReportCount(const std::string& flag) {
    return std::stoi(Request(L"GET", L"/_count?flag=" + Widen(flag), ""));
}

int RequestCount(const std::string& path) {
    // The statistics are small JSON: {"counts": {...}, "requests": {"/path": n, ...}}.
    const std::string stats = Request(L"GET", L"/_stats", "");
    const std::string needle = "\"" + path + "\": ";
    const size_t at = stats.find(needle, stats.find("\"requests\""));
    return at == std::string::npos ? 0 : std::stoi(stats.substr(at + needle.size()));
}

}  // namespace tvx::test
