#include <gtest/gtest.h>

#include "framework/internet.h"
#include "tests/online/dev_server_client.h"
#include "tests/support/registry_test_util.h"

namespace {

using namespace tvx::test;

class Internet : public ::testing::Test {
protected:
    void SetUp() override { ResetServer(); }
};

TEST_F(Internet, ReadStringTakesOneLineAtATimeOverRealHttps) {
    ConfigureServer("count_body", "first\r\nsecond\n\nlast");
    CInternetSession session;
    auto file = session.OpenURL(ServerUrl(L"/count.php?flag=lines"), 1, INTERNET_FLAG_RELOAD);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetStatusCode(), 200u);
    std::string line;
    ASSERT_TRUE(file->ReadString(line));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(file->ReadString(line));
    EXPECT_EQ(line, "second");
    ASSERT_TRUE(file->ReadString(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(file->ReadString(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(file->ReadString(line));
    EXPECT_EQ(ReportCount("lines"), 1);
}

TEST_F(Internet, ReadStringCutsAnEndlessLine) {
    ConfigureServer("count_body", std::string(300 * 1024, 'x') + "\nnext");
    CInternetSession session;
    auto file = session.OpenURL(ServerUrl(L"/count.php?flag=long"), 1, INTERNET_FLAG_RELOAD);
    ASSERT_TRUE(file);
    std::string line;
    ASSERT_TRUE(file->ReadString(line, 1000));
    EXPECT_EQ(line.size(), 1000u);
    ASSERT_TRUE(file->ReadString(line));
    EXPECT_EQ(line.size(), 64u * 1024);
}

TEST_F(Internet, FailuresRaiseTheWinInetError) {
    ServerNotListening unreachable;
    CInternetSession session;
    try {
        session.OpenURL(ServerUrl(L"/count.php?flag=run"), 7);
        FAIL() << "no exception";
    } catch (const CInternetException& e) {
        EXPECT_EQ(e.m_dwError, static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
        EXPECT_EQ(e.m_dwContext, 7u);
    }
}

TEST_F(Internet, OnlyHttpUrlsGiveAResponse) {
    CInternetSession session;
    EXPECT_EQ(session.OpenURL(L"ftp://127.0.0.1/file"), nullptr);
    EXPECT_THROW(session.OpenURL(L"not a url"), CInternetException);
    EXPECT_EQ(RequestCount("/count.php"), 0);
}

}  // namespace

namespace {

const wchar_t kRootCertificates[] = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates";

// The development authorities' entries in the machine Root store (one per certificate folder
// that a server in this prefix ever used), taken out for the life of this object and put back
// afterwards.
class AuthorityWithdrawn {
public:
    AuthorityWithdrawn() {
        const std::string subject = "Tarnivex Development Authority";
        for (const std::wstring& name : SubkeyNames(HKEY_LOCAL_MACHINE, kRootCertificates)) {
            const auto blob = ReadValue(HKEY_LOCAL_MACHINE, Path(name), L"Blob");
            if (!blob) continue;
            const std::string bytes(blob->data.begin(), blob->data.end());
            if (bytes.find(subject) == std::string::npos) continue;
            withdrawn_.push_back({name, blob->data});
            DeleteTree(HKEY_LOCAL_MACHINE, Path(name));
        }
    }
    ~AuthorityWithdrawn() {
        for (const auto& [name, blob] : withdrawn_) {
            WriteValue(HKEY_LOCAL_MACHINE, Path(name), L"Blob", REG_BINARY, blob.data(),
                       static_cast<DWORD>(blob.size()));
        }
    }
    bool found() const { return !withdrawn_.empty(); }

private:
    static std::wstring Path(const std::wstring& name) {
        return std::wstring(kRootCertificates) + L"\\" + name;
    }
    std::vector<std::pair<std::wstring, std::vector<BYTE>>> withdrawn_;
};

// Real certificate checks: without the authority in the Root store the same server is refused.
// (No other request may come first in this process, so that nothing trusted is cached.)
TEST(InternetCertificates, ServerIsRefusedOnceItsAuthorityIsNoLongerTrusted) {
    AuthorityWithdrawn withdrawn;
    ASSERT_TRUE(withdrawn.found());
    CInternetSession session;
    try {
        session.OpenURL(ServerUrl(L"/count.php?flag=untrusted"));
        FAIL() << "an untrusted server was accepted";
    } catch (const CInternetException& e) {
        EXPECT_TRUE(e.m_dwError == ERROR_INTERNET_INVALID_CA ||
                    e.m_dwError == ERROR_INTERNET_SEC_CERT_REV_FAILED ||
                    e.m_dwError == ERROR_INTERNET_SEC_INVALID_CERT)
            << e.m_dwError;
    }
}

}  // namespace
