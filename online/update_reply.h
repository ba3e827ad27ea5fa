// The update endpoint's reply: UTF-8 text "version#url". Reading it is kept apart from the
// network so that every kind of reply can be tried on it directly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx {

inline constexpr wchar_t kUpdateKey[] = L"Software\\Tarnivex\\Update";
inline constexpr wchar_t kUpdateValue[] = L"TarnivexClient";

// A real reply is a few dozen bytes. Anything longer is not an offer, and reading stops there,
// so a broken or hostile server cannot fill the memory of a frozen window.
inline constexpr std::size_t kMaxUpdateReplyBytes = 64 * 1024;

// UTF-8 to UTF-16; the text ends at the first NUL. Nothing usable gives empty text.
std::wstring DecodeUtf8(std::string_view bytes);

// Only https is accepted for the client, which is started with administrator rights: a scheme
// "https://", a host (starting with a letter, a digit or "["), and no white space or control
// character anywhere.
bool IsHttpsDownloadUrl(std::wstring_view url);

struct UpdateReply {
    bool hasFields = false;  // the reply held a "#": version and url below are its fields
    std::wstring version;    // verbatim, as it will be recorded
    std::wstring url;        // trailing white space removed
    bool offered = false;    // newer than the recorded version, with an https url
};

// Reads a reply body against the recorded version text (the registry's "TarnivexClient", or
// "0" when there is none).
UpdateReply EvaluateUpdateReply(std::string_view body, std::wstring_view recordedVersion);

}  // namespace tvx
