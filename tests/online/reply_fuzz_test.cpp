// Generated reply bodies of every sort through the reply reading: none may crash it, and a body
// becomes an offer exactly when it was generated as a well-formed, newer https reply. Each body is
// built from parts whose meaning the generator knows, so the verdict is the generator's own fact,
// never a second reading of the body.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>

#include "online/update_reply.h"
#include "tests/online/memory_probe.h"

namespace {

struct Generated {
    std::string body;
    bool offer = false;  // built as a well-formed reply newer than the recorded version
};

// A version text and the number it stands for (nothing when it has no usable number).
struct VersionPart {
    const char* text;
    std::int64_t number;
};
const VersionPart kVersions[] = {
    {"0", 0},
    {"1", 1},
    {"5", 5},
    {"-3", -3},
    {" 7", 7},
    {"+8", 8},
    {"v9", 0},
    {"12abc", 12},
    {"", 0},
    {"\t\n40", 40},
    {"2147483648", INT_MAX},
    {"99999999999999999999", INT_MAX},
    {"-99999999999", INT_MIN},
};

// A download address and whether it may be offered.
struct UrlPart {
    const char* text;
    bool https;
};
const UrlPart kUrls[] = {
    {"https://127.0.0.1/client.exe", true},
    {"HTTPS://host.example/c.exe", true},
    {"https://[::1]:8443/files/c.exe", true},
    {"https://h/a#b#c", true},
    {"http://127.0.0.1/client.exe", false},
    {"file:///c:/windows/notepad.exe", false},
    {"https:///no-host.exe", false},
    {"ftp://h/c.exe", false},
    {"https://h/a b.exe", false},
    {"https://h/tab\t.exe", false},
    {"C:\\windows\\notepad.exe", false},
    {"", false},
};

struct RecordedPart {
    const wchar_t* text;
    std::int64_t number;
};
const RecordedPart kRecorded[] = {
    {L"0", 0}, {L"3", 3}, {L"-1", -1}, {L"abc", 0}, {L"2147483647", INT_MAX}, {L" 12x", 12},
};

class ReplyGenerator {
public:
    explicit ReplyGenerator(std::uint32_t seed) : rng_(seed) {}

    Generated Next(const RecordedPart& recorded) {
        const VersionPart& version = kVersions[Pick(std::size(kVersions))];
        const UrlPart& url = kUrls[Pick(std::size(kUrls))];
        const std::string trailing = Pick(3) == 0 ? "\r\n" : (Pick(2) ? " " : "");
        const std::string wellFormed = std::string(version.text) + "#" + url.text + trailing;
        const bool newer = version.number > 0 && recorded.number >= 0 &&
                           recorded.number < version.number && url.https;

        switch (Pick(8)) {
            case 0:  // as generated
                return {wellFormed, newer};
            case 1:  // the text ends at a NUL: after it anything goes
                return {wellFormed + std::string(1, '\0') + Junk(Pick(16)), newer};
            case 2:  // a NUL before the "#": no fields at all
                return {std::string(version.text) + std::string(1, '\0') + "#" + url.text, false};
            case 3:  // bytes that are no UTF-8 in front: the version reads as no number
                return {Pick(2) ? "\xFF" + wellFormed : "\xC0\xAF" + wellFormed, false};
            case 4:  // no "#" anywhere
                return {Junk(Pick(300)), false};
            case 5:  // longer than any reply may be, however well formed its start
                return {wellFormed + std::string(tvx::kMaxUpdateReplyBytes + 1 + Pick(70000),
                                                 Pick(2) ? 'x' : '\n'),
                        false};
            case 6:  // just at the limit, the padding inside the URL's trailing white space
                return {
                    wellFormed + std::string(tvx::kMaxUpdateReplyBytes - wellFormed.size(), ' '),
                    newer};
            default:  // a white space or control character inside the address
                return {std::string(version.text) + "#https://h/" + Control() + "x.exe", false};
        }
    }

private:
    std::size_t Pick(std::size_t n) { return n == 0 ? 0 : rng_() % n; }

    // Random bytes without "#" and without NUL.
    std::string Junk(std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s) {
            do c = static_cast<char>(rng_());
            while (c == '#' || c == '\0');
        }
        return s;
    }
    std::string Control() {
        static const char* const bad[] = {" ", "\t", "\x01", "\x7F", "\r\nX"};
        return bad[Pick(std::size(bad))];
    }

    std::mt19937 rng_;
};

TEST(UpdateReplyFuzz, GeneratedBodiesNeverCrashAndOfferExactlyWhenBuiltToOffer) {
    ReplyGenerator generator(20261208);
    int offers = 0;
    const SIZE_T before = tvx::test::PeakPrivateBytes();
    for (int i = 0; i < 12000; ++i) {
        const RecordedPart& recorded = kRecorded[i % std::size(kRecorded)];
        const Generated g = generator.Next(recorded);
        const tvx::UpdateReply reply = tvx::EvaluateUpdateReply(g.body, recorded.text);
        ASSERT_EQ(reply.offered, g.offer)
            << "body #" << i << " against " << testing::PrintToString(std::wstring(recorded.text))
            << ": " << testing::PrintToString(g.body.substr(0, 200));
        if (reply.offered) {
            ++offers;
            ASSERT_TRUE(tvx::IsHttpsDownloadUrl(reply.url));
        }
        if (!reply.hasFields) {
            ASSERT_TRUE(reply.version.empty());
            ASSERT_TRUE(reply.url.empty());
        }
    }
    // The generator must reach both outcomes, or the run proves little.
    EXPECT_GT(offers, 300);
    EXPECT_LT(offers, 6000);
    // Bodies are at most a few hundred KiB; reading them must not pile anything up.
    EXPECT_LT(tvx::test::PeakPrivateBytes() - before, SIZE_T{64} << 20);
}

}  // namespace
