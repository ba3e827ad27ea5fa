#include "online/update_reply.h"

#include <windows.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "settings/decimal_text.h"

namespace tvx {

std::wstring DecodeUtf8(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int size = static_cast<int>(bytes.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    const int written = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, text.data(), units);
    if (written <= 0) return {};
    text.resize(::wcsnlen(text.c_str(), static_cast<std::size_t>(written)));
    return text;
}

bool IsHttpsDownloadUrl(std::wstring_view url) {
    constexpr std::wstring_view scheme = L"https://";
    if (url.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::towlower(url[i]) != scheme[i]) return false;
    }
    for (const wchar_t c : url) {
        if (c <= L' ' || c == 0x7F) return false;
    }
    // A host must follow: a name, an address or a bracketed IPv6 address.
    const wchar_t first = url[scheme.size()];
    return (first < 0x80 && std::iswalnum(first)) || first == L'[';
}

namespace {

std::wstring TrimTrailingSpace(std::wstring text) {
    const std::size_t end = text.find_last_not_of(L" \t\r\n\v\f");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    return text;
}

}  // namespace

UpdateReply EvaluateUpdateReply(std::string_view body, std::wstring_view recordedVersion) {
    UpdateReply reply;
    if (body.size() > kMaxUpdateReplyBytes) return reply;

    const std::wstring text = DecodeUtf8(body);
    const std::size_t hash = text.find(L'#');
    if (hash == std::wstring::npos) return reply;

    reply.hasFields = true;
    reply.version = text.substr(0, hash);
    reply.url = TrimTrailingSpace(text.substr(hash + 1));

    if (reply.version.empty()) return reply;
    const int32_t offered = ReadDecimal(reply.version);
    if (offered <= 0) return reply;
    if (!IsHttpsDownloadUrl(reply.url)) return reply;
    const int32_t recorded = ReadDecimal(recordedVersion);
    if (recorded < 0) return reply;
    reply.offered = recorded < offered;
    return reply;
}

}  // namespace tvx
