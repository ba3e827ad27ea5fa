#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <thread>
#include <vector>

#include "framework/std_output.h"
#include "notify/toast.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/toast_double.h"

namespace {

using tvx::test::ToastDoubleSession;

const wchar_t kStart[] = L"게임핑이 성공적으로 동작 중입니다.";
const wchar_t kStop[] = L"게임핑 동작이 정지되었습니다.";
const std::wstring kIdentityKey = L"Software\\Classes\\AppUserModelId\\Tarnivex";

std::wstring ToastXml(const std::wstring& text) {
    return L"<toast duration='short'>  <visual>    <binding template='ToastGeneric'>      <text>" +
           text + L"</text>    </binding>  </visual></toast>";
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0) return i;
    }
    return lines.size();
}

// Runs f on a thread of its own that has not touched COM, as a pass's worker is.
template <typename F>
void OnFreshThread(F f) {
    std::thread(f).join();
}

class Toast : public ::testing::Test {
protected:
    void SetUp() override { tvx::test::DeleteTree(HKEY_CURRENT_USER, kIdentityKey); }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"TARNIVEX_TOAST_FAIL", nullptr);
        tvx::test::DeleteTree(HKEY_CURRENT_USER, kIdentityKey);
    }
};

TEST_F(Toast, ShowsEachTextOnceUnderTheIdentityAndReleasesEverything) {
    for (const std::wstring text : {kStart, kStop}) {
        SCOPED_TRACE(tvx::ToUtf8(text));
        ToastDoubleSession session;
        ASSERT_TRUE(session.registered()) << "stand-in DLL not found or not registered";

        DWORD worker = 0;
        OnFreshThread([&] {
            worker = ::GetCurrentThreadId();
            tvx::ShowToast(text.c_str());
        });

        const auto lines = session.Lines();
        const std::string xml = tvx::ToUtf8(ToastXml(text));
        EXPECT_EQ(tvx::test::CountLines(lines, "notifier Tarnivex"), 1);
        EXPECT_EQ(tvx::test::CountLines(lines, "load " + xml), 1);
        const auto shows = tvx::test::ToastShows(lines);
        ASSERT_EQ(shows.size(), 1u);
        EXPECT_EQ(shows[0].appId, L"Tarnivex");
        EXPECT_EQ(shows[0].xml, ToastXml(text));
        EXPECT_EQ(shows[0].threadId, worker);
        EXPECT_LT(IndexOf(lines, "notifier "), IndexOf(lines, "load "));
        EXPECT_LT(IndexOf(lines, "load "), IndexOf(lines, "show "));

        EXPECT_EQ(tvx::test::UnreleasedObjects(lines), std::vector<std::string>{});
        for (const char* object : {"ToastNotificationManager", "ToastNotifier", "XmlDocument",
                                   "ToastNotificationFactory", "ToastNotification"}) {
            EXPECT_EQ(tvx::test::CountLines(lines, std::string("created ") + object), 1) << object;
        }
        // The identity is described before the first toast.
        EXPECT_EQ(tvx::test::ReadString(HKEY_CURRENT_USER, kIdentityKey, L"DisplayName"),
                  L"Tarnivex");
    }
}

TEST_F(Toast, AFailingStepShowsNothingAndReleasesWhatWasObtained) {
    for (const wchar_t* step : {L"notifier", L"activate", L"load", L"create"}) {
        SCOPED_TRACE(tvx::ToUtf8(step));
        ToastDoubleSession session;
        ASSERT_TRUE(session.registered());
        ::SetEnvironmentVariableW(L"TARNIVEX_TOAST_FAIL", step);

        HRESULT after = E_FAIL;
        OnFreshThread([&] {
            tvx::ShowToast(kStart);
            // The runtime was left again: the thread can still become single-threaded.
            after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(after)) ::CoUninitialize();
        });

        const auto lines = session.Lines();
        EXPECT_TRUE(tvx::test::ToastShows(lines).empty());
        EXPECT_GT(tvx::test::CountLines(lines, "created ToastNotificationManager"), 0);
        EXPECT_EQ(tvx::test::UnreleasedObjects(lines), std::vector<std::string>{});
        EXPECT_EQ(after, S_OK);
    }
}

TEST_F(Toast, RuntimeInitialisationIsBalancedOnlyWhenItSucceeded) {
    ToastDoubleSession session;
    ASSERT_TRUE(session.registered());

    // Already multithreaded: RoInitialize answers S_FALSE and still owes its RoUninitialize, so
    // after our own CoUninitialize the thread is free again.
    HRESULT mta = E_FAIL;
    OnFreshThread([&] {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        tvx::ShowToast(kStart);
        ::CoUninitialize();
        mta = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(mta)) ::CoUninitialize();
    });
    EXPECT_EQ(mta, S_OK);
    EXPECT_EQ(tvx::test::ToastShows(session.Lines()).size(), 1u);

    // Single-threaded: RoInitialize fails with RPC_E_CHANGED_MODE, no toast, and the caller's
    // apartment must survive (a second CoInitializeEx still finds it: S_FALSE).
    HRESULT sta = E_FAIL;
    OnFreshThread([&] {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        tvx::ShowToast(kStop);
        sta = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(sta)) ::CoUninitialize();
        ::CoUninitialize();
    });
    EXPECT_EQ(sta, S_FALSE);
    EXPECT_EQ(tvx::test::ToastShows(session.Lines()).size(), 1u) << "no second toast";
}

TEST_F(Toast, TwoOverlappingCallsShowTwoIndependentToasts) {
    ToastDoubleSession session;
    ASSERT_TRUE(session.registered());

    std::thread a([] { tvx::ShowToast(kStart); });
    std::thread b([] { tvx::ShowToast(kStop); });
    a.join();
    b.join();

    const auto lines = session.Lines();
    const auto shows = tvx::test::ToastShows(lines);
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_NE(shows[0].threadId, shows[1].threadId);
    EXPECT_NE(shows[0].xml, shows[1].xml);
    for (const auto& show : shows) {
        EXPECT_TRUE(show.xml == ToastXml(kStart) || show.xml == ToastXml(kStop));
    }
    EXPECT_EQ(tvx::test::CountLines(lines, "created ToastNotifier"), 2);
    EXPECT_EQ(tvx::test::UnreleasedObjects(lines), std::vector<std::string>{});
}

TEST_F(Toast, WithoutTheClassesRegisteredNothingIsShownButTheIdentityIsWritten) {
    {
        ToastDoubleSession session;  // for its log file and variable
        tvx::test::UnregisterToastDouble();
        OnFreshThread([] { tvx::ShowToast(kStart); });
        EXPECT_EQ(session.Lines(), std::vector<std::string>{});
    }
    EXPECT_EQ(tvx::test::ReadString(HKEY_CURRENT_USER, kIdentityKey, L"DisplayName"), L"Tarnivex");
}

}  // namespace
