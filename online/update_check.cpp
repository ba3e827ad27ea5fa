#include <string>

#include "framework/internet.h"
#include "framework/message_box.h"
#include "online/online_endpoints.h"
#include "online/server_messages.h"
#include "online/update_reply.h"
#include "settings/user_text.h"
#include "ui/tarnivex_dlg.h"

// Opening the session lies outside the guard: when WinINet cannot open one at all, the
// CInternetException reaches the caller.
BOOL CTarnivexDlg::CheckForUpdate(std::wstring url) {
    CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                             INTERNET_FLAG_NO_CACHE_WRITE);
    session.SetTimeouts(tvx::kOnlineTimeoutMs);

    std::string body;
    try {
        auto file =
            session.OpenURL(url, 1, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY);
        if (!file) return FALSE;
        char chunk[512];
        // One byte past the limit is enough to know the reply is no offer.
        while (body.size() <= tvx::kMaxUpdateReplyBytes) {
            const UINT got = file->Read(chunk, sizeof chunk);
            if (got == 0) break;
            body.append(chunk, got);
        }
        file->Close();
    } catch (const CInternetException&) {
        session.Close();
        AfxMessageBox(tvx::kServerUnreachable, MB_OK);
        return FALSE;
    }
    session.Close();

    const tvx::UpdateReply reply =
        tvx::EvaluateUpdateReply(body, tvx::ReadUserText(tvx::kUpdateKey, tvx::kUpdateValue, L"0"));
    if (reply.hasFields) {
        m_strServerVersion = reply.version;
        m_strUpdateUrl = reply.url;
    }
    return reply.offered ? TRUE : FALSE;
}
