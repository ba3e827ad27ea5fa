#include <gtest/gtest.h>

#include <string>

#include "online/update_reply.h"

namespace {

using tvx::EvaluateUpdateReply;

struct ReplyCase {
    const char* name;
    std::string body;
    const wchar_t* recorded;
    bool offered;
    bool hasFields;
    const wchar_t* version;  // expected when hasFields
    const wchar_t* url;
};

const std::string kUrl = "https://127.0.0.1:8443/files/tarnivex_client.exe";
const wchar_t kWideUrl[] = L"https://127.0.0.1:8443/files/tarnivex_client.exe";

TEST(UpdateReply, ReadsVersionAndUrlAgainstTheRecordedVersion) {
    const std::string oversize = "5#" + kUrl + std::string(tvx::kMaxUpdateReplyBytes, ' ');
    const ReplyCase cases[] = {
        {"newer than recorded", "5#" + kUrl, L"3", true, true, L"5", kWideUrl},
        {"same as recorded", "5#" + kUrl, L"5", false, true, L"5", kWideUrl},
        {"older than recorded", "5#" + kUrl, L"7", false, true, L"5", kWideUrl},
        {"nothing recorded", "5#" + kUrl, L"0", true, true, L"5", kWideUrl},
        {"version zero", "0#" + kUrl, L"0", false, true, L"0", kWideUrl},
        {"negative version", "-4#" + kUrl, L"-9", false, true, L"-4", kWideUrl},
        {"version starts with a letter", "v5#" + kUrl, L"0", false, true, L"v5", kWideUrl},
        {"empty version", "#" + kUrl, L"0", false, true, L"", kWideUrl},
        {"trailing space kept in version", "5 #" + kUrl, L"3", true, true, L"5 ", kWideUrl},
        {"leading space and sign", "  +12#" + kUrl, L"11", true, true, L"  +12", kWideUrl},
        {"two hashes: url keeps the second", "6#" + kUrl + "#part", L"0", true, true, L"6",
         L"https://127.0.0.1:8443/files/tarnivex_client.exe#part"},
        {"no hash", "5 " + kUrl, L"0", false, false, nullptr, nullptr},
        {"empty body", "", L"0", false, false, nullptr, nullptr},
        {"trailing CRLF trimmed from url", "8#" + kUrl + "\r\n", L"0", true, true, L"8", kWideUrl},
        {"trailing spaces and tabs trimmed", "8#" + kUrl + " \t \n", L"0", true, true, L"8",
         kWideUrl},
        {"negative recorded", "5#" + kUrl, L"-1", false, true, L"5", kWideUrl},
        {"recorded text read by its leading digits", "5#" + kUrl, L"4abc", true, true, L"5",
         kWideUrl},
        {"recorded beyond 32 bits clamps", "2147483647#" + kUrl, L"99999999999", false, true,
         L"2147483647", kWideUrl},
        {"reply beyond 32 bits clamps", "99999999999#" + kUrl, L"2147483646", true, true,
         L"99999999999", kWideUrl},
        {"NUL ends the text", std::string("5#x\0yz", 6), L"0", false, true, L"5", L"x"},
        {"NUL before the hash", std::string("5\0#", 3) + kUrl, L"0", false, false, nullptr,
         nullptr},
        {"http url refused", "9#http://127.0.0.1/tarnivex_client.exe", L"0", false, true, L"9",
         L"http://127.0.0.1/tarnivex_client.exe"},
        {"file url refused", "9#file:///C:/windows/notepad.exe", L"0", false, true, L"9",
         L"file:///C:/windows/notepad.exe"},
        {"local path refused", "9#C:\\windows\\notepad.exe", L"0", false, true, L"9",
         L"C:\\windows\\notepad.exe"},
        {"upper-case scheme accepted", "9#HTTPS://127.0.0.1/c.exe", L"0", true, true, L"9",
         L"HTTPS://127.0.0.1/c.exe"},
        {"space inside url refused", "9#https://127.0.0.1/a b.exe", L"0", false, true, L"9",
         L"https://127.0.0.1/a b.exe"},
        {"line break inside url refused", "9#https://127.0.0.1/a\r\nb.exe", L"0", false, true, L"9",
         L"https://127.0.0.1/a\r\nb.exe"},
        {"no host refused", "9#https:///c.exe", L"0", false, true, L"9", L"https:///c.exe"},
        {"scheme only refused", "9#https://", L"0", false, true, L"9", L"https://"},
        {"Korean text decoded", "5#https://127.0.0.1/\xED\x95\x9C.exe", L"0", true, true, L"5",
         L"https://127.0.0.1/\uD55C.exe"},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const tvx::UpdateReply reply = EvaluateUpdateReply(c.body, c.recorded);
        EXPECT_EQ(reply.offered, c.offered);
        EXPECT_EQ(reply.hasFields, c.hasFields);
        if (c.hasFields) {
            EXPECT_EQ(reply.version, c.version);
            EXPECT_EQ(reply.url, c.url);
        }
    }

    // Longer than any real reply: no offer and no fields, however good its start.
    const tvx::UpdateReply big = EvaluateUpdateReply(oversize, L"0");
    EXPECT_FALSE(big.offered);
    EXPECT_FALSE(big.hasFields);
    // Exactly at the limit is still read.
    const std::string atLimit =
        "5#" + kUrl + std::string(tvx::kMaxUpdateReplyBytes - 2 - kUrl.size(), '\n');
    ASSERT_EQ(atLimit.size(), tvx::kMaxUpdateReplyBytes);
    EXPECT_TRUE(EvaluateUpdateReply(atLimit, L"0").offered);
}

TEST(UpdateReply, DecodeUtf8) {
    EXPECT_EQ(tvx::DecodeUtf8(""), L"");
    EXPECT_EQ(tvx::DecodeUtf8("abc"), L"abc");
    EXPECT_EQ(tvx::DecodeUtf8("\xEC\x84\x9C\xEB\xB2\x84"), L"서버");
    EXPECT_EQ(tvx::DecodeUtf8(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(tvx::DecodeUtf8(std::string("\0x", 2)), L"");
    // A character outside the basic plane becomes a surrogate pair.
    EXPECT_EQ(tvx::DecodeUtf8("\xF0\x9F\x98\x80"), L"\U0001F600");
    // Invalid sequences never produce a "#" or a digit out of nothing.
    const std::wstring broken = tvx::DecodeUtf8("\xC3\x28#\xFF");
    EXPECT_EQ(broken.find(L'#'), 2u);
}

}  // namespace
