#include "online/update_check.h"

#include <string>

#include "framework/internet.h"
#include "online/online_endpoints.h"

namespace tvx {

UpdateCheck CheckUpdateEndpoint(const std::wstring& url, std::wstring_view recordedVersion) {
    UpdateCheck check;
    std::string body;
    try {
        CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                 INTERNET_FLAG_NO_CACHE_WRITE);
        session.SetDeadline(kRequestDeadlineMs);
        session.SetTimeouts(kOnlineTimeoutMs);
        auto file =
            session.OpenURL(url, 1, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY);
        if (!file) return check;  // no response object: no offer, and nothing to say
        const ULONGLONG announced = file->ContentLength();
        char chunk[512];
        bool ended = false;
        // One byte past the limit is enough to know the reply is no offer.
        while (body.size() <= kMaxUpdateReplyBytes) {
            const UINT got = file->Read(chunk, sizeof chunk);
            if (got == 0) {
                ended = true;
                break;
            }
            body.append(chunk, got);
        }
        file->Close();
        session.Close();
        // A connection that ends before the announced length was cut: what came is not the
        // reply (a cut version text could even read as another version).
        if (ended && announced != 0 && body.size() != announced) {
            check.unreachable = true;
            return check;
        }
    } catch (const CInternetException&) {
        check.unreachable = true;
        return check;
    }
    check.reply = EvaluateUpdateReply(body, recordedVersion);
    return check;
}

}  // namespace tvx
