// Generated reply bodies of every sort through the reply reading: none may crash it, and only a
// well-formed, newer https reply may become an offer.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "online/update_reply.h"
#include "settings/decimal_text.h"
#include "tests/online/memory_probe.h"

namespace {

class BodyGenerator {
public:
    explicit BodyGenerator(uint32_t seed) : rng_(seed) {}

    std::string Next() {
        switch (Pick(9)) {
            case 0:
                return RandomBytes(Pick(64));
            case 1:
                return RandomBytes(Pick(4096));
            case 2:
                return Mutate(WellFormed());
            case 3:
                return WellFormed();
            case 4:
                return std::to_string(rng_()) + std::string(Pick(20), '9') + "#" + Url();
            case 5:
                return std::string(1 + Pick(200), '#') + RandomBytes(Pick(32));
            case 6:
                return InvalidUtf8();
            case 7:
                return std::string(Pick(2) ? tvx::kMaxUpdateReplyBytes + 1 + Pick(70000)
                                           : 60000 + Pick(5000),
                                   Pick(2) ? 'x' : '\n') +
                       WellFormed();
            default:
                return WellFormed() + std::string(1, '\0') + RandomBytes(Pick(16));
        }
    }

private:
    uint32_t Pick(uint32_t n) { return n == 0 ? 0 : rng_() % n; }

    std::string RandomBytes(size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(rng_());
        return s;
    }

    std::string Url() {
        static const char* const prefixes[] = {
            "https://127.0.0.1/", "http://127.0.0.1/", "HTTPS://h/",   "file:///c:/",
            "https:///",          "ftp://h/",          "https://h/a b"};
        return prefixes[Pick(std::size(prefixes))] + std::to_string(rng_()) + ".exe" +
               (Pick(3) == 0 ? "\r\n" : "");
    }

    std::string WellFormed() {
        static const char* const versions[] = {"0",  "1",  "5",     "-3", " 7",
                                               "+8", "v9", "12abc", "",   "2147483648"};
        return std::string(versions[Pick(std::size(versions))]) + "#" + Url();
    }

    std::string Mutate(std::string s) {
        const uint32_t edits = 1 + Pick(4);
        for (uint32_t i = 0; i < edits && !s.empty(); ++i) {
            const size_t at = Pick(static_cast<uint32_t>(s.size()));
            switch (Pick(3)) {
                case 0:
                    s[at] = static_cast<char>(rng_());
                    break;
                case 1:
                    s.insert(at, 1, Pick(2) ? '#' : '\0');
                    break;
                default:
                    s.erase(at, 1);
                    break;
            }
        }
        return s;
    }

    std::string InvalidUtf8() {
        static const char* const bad[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80",
                                          "\xFF",     "\xE2\x82",     "\xF4\x90\x80\x80"};
        std::string s;
        const uint32_t parts = 1 + Pick(10);
        for (uint32_t i = 0; i < parts; ++i) {
            s += bad[Pick(std::size(bad))];
            if (Pick(2)) s += "5#https://127.0.0.1/c.exe";
        }
        return s;
    }

    std::mt19937 rng_;
};

// What an offer must look like, judged independently of the reading itself.
bool IsWellFormedNewerReply(const std::string& body, const std::wstring& recorded) {
    if (body.size() > tvx::kMaxUpdateReplyBytes) return false;
    const std::wstring text = tvx::DecodeUtf8(body);
    const size_t hash = text.find(L'#');
    if (hash == std::wstring::npos) return false;
    const std::wstring url = text.substr(hash + 1);
    const size_t end = url.find_last_not_of(L" \t\r\n\v\f");
    const std::wstring trimmed = end == std::wstring::npos ? L"" : url.substr(0, end + 1);
    if (trimmed.size() <= 8 || _wcsnicmp(trimmed.c_str(), L"https://", 8) != 0) return false;
    const wchar_t host = trimmed[8];
    if (!((host >= L'a' && host <= L'z') || (host >= L'A' && host <= L'Z') ||
          (host >= L'0' && host <= L'9') || host == L'['))
        return false;
    for (wchar_t c : trimmed) {
        if (c <= L' ' || c == 0x7F) return false;
    }
    const int32_t offered = tvx::ReadDecimal(text.substr(0, hash));
    const int32_t had = tvx::ReadDecimal(recorded);
    return offered > 0 && had >= 0 && had < offered;
}

TEST(UpdateReplyFuzz, GeneratedBodiesNeverCrashAndOnlyGoodRepliesOffer) {
    BodyGenerator generator(20261208);
    const std::wstring recordedVersions[] = {L"0", L"3", L"-1", L"abc", L"2147483647"};
    int offers = 0;
    int checked = 0;
    const SIZE_T before = tvx::test::PeakPrivateBytes();
    for (int i = 0; i < 12000; ++i) {
        const std::string body = generator.Next();
        const std::wstring& recorded = recordedVersions[i % std::size(recordedVersions)];
        const tvx::UpdateReply reply = tvx::EvaluateUpdateReply(body, recorded);
        const bool expected = IsWellFormedNewerReply(body, recorded);
        ASSERT_EQ(reply.offered, expected)
            << "body #" << i << ": " << testing::PrintToString(body.substr(0, 200));
        if (reply.offered) {
            ++offers;
            ASSERT_TRUE(tvx::IsHttpsDownloadUrl(reply.url));
        }
        if (!reply.hasFields) {
            ASSERT_TRUE(reply.version.empty());
            ASSERT_TRUE(reply.url.empty());
        }
        ++checked;
    }
    EXPECT_EQ(checked, 12000);
    // The generator must reach both outcomes, or the run proves little.
    EXPECT_GT(offers, 300);
    EXPECT_LT(offers, 6000);
    // Bodies are at most a few hundred KiB; reading them must not pile anything up.
    EXPECT_LT(tvx::test::PeakPrivateBytes() - before, SIZE_T{64} << 20);
}

}  // namespace
