// Asking the product web site whether a newer client exists.
#pragma once

#include <string>
#include <string_view>

#include "online/update_reply.h"

namespace tvx {

struct UpdateCheck {
    // The endpoint could not be reached: no connection, name or TLS failure, a read failure, a
    // reply cut short of its announced length, the deadline passed, or no internet session.
    bool unreachable = false;
    UpdateReply reply;
};

// GETs the endpoint (within the request deadline) and reads its reply against the recorded
// version text.
UpdateCheck CheckUpdateEndpoint(const std::wstring& url, std::wstring_view recordedVersion);

}  // namespace tvx
