#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/connections.h"
#include "tests/support/netcon_double.h"

namespace {

using tvx::test::NetconDoubleSession;
using tvx::test::NetconRecord;

std::vector<std::string> Events(const std::vector<NetconRecord>& records) {
    std::vector<std::string> out;
    for (const NetconRecord& r : records) {
        out.push_back(r.detail.empty()
                          ? r.event
                          : r.event + " " + std::string(r.detail.begin(), r.detail.end()));
    }
    return out;
}

const NetconRecord* Find(const std::vector<NetconRecord>& records, const std::string& event,
                         const std::wstring& detail) {
    for (const NetconRecord& r : records) {
        if (r.event == event && r.detail == detail) return &r;
    }
    return nullptr;
}

TEST(ConnectionRestart, ActsOnConnectedAndDisconnectedOnlyAndOneAfterAnother) {
    NetconDoubleSession netcon({"2 Ethernet", "0 Wi-Fi", "7 Cable", "2! Dialup", "3 Leaving"});
    ASSERT_TRUE(netcon.registered());

    tvx::RestartNetworkConnections();

    const auto records = netcon.Records();
    const std::vector<std::string> expected = {"create-manager",
                                               "enum 0",
                                               "next 1",
                                               "properties Ethernet",
                                               "disconnect Ethernet",
                                               "connect Ethernet",
                                               "release-connection Ethernet",
                                               "next 1",
                                               "properties Wi-Fi",
                                               "connect Wi-Fi",
                                               "release-connection Wi-Fi",
                                               "next 1",
                                               "properties Cable",
                                               "release-connection Cable",
                                               "next 1",
                                               "properties Dialup",
                                               "disconnect-failed Dialup",
                                               "release-connection Dialup",
                                               "next 1",
                                               "properties Leaving",
                                               "release-connection Leaving",
                                               "next 0",
                                               "release-enum",
                                               "release-manager"};
    EXPECT_EQ(Events(records), expected);

    const NetconRecord* down = Find(records, "disconnect", L"Ethernet");
    const NetconRecord* up = Find(records, "connect", L"Ethernet");
    ASSERT_TRUE(down && up);
    EXPECT_GE(up->ticks - down->ticks, 3000ULL * 10000) << "down for less than 3000 ms";
}

TEST(ConnectionRestart, NoConnectionsEndsAfterTheFirstNext) {
    NetconDoubleSession netcon({});
    ASSERT_TRUE(netcon.registered());
    tvx::RestartNetworkConnections();
    const std::vector<std::string> expected = {"create-manager", "enum 0", "next 0", "release-enum",
                                               "release-manager"};
    EXPECT_EQ(Events(netcon.Records()), expected);
}

TEST(ConnectionRestart, FailingEnumerationReleasesTheManagerAndStops) {
    NetconDoubleSession netcon({"fail-enum", "0 Wi-Fi"});
    ASSERT_TRUE(netcon.registered());
    tvx::RestartNetworkConnections();
    const std::vector<std::string> expected = {"create-manager", "enum-failed 0",
                                               "release-manager"};
    EXPECT_EQ(Events(netcon.Records()), expected);
}

TEST(ConnectionRestart, UnregisteredManagerEndsSilentlyAndLeavesTheApartment) {
    NetconDoubleSession netcon({"0 Wi-Fi"});
    tvx::test::UnregisterNetconDouble();
    HRESULT again = E_FAIL;
    std::thread([&] {
        tvx::RestartNetworkConnections();
        // S_OK (not S_FALSE): the restart left its apartment behind it.
        again = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(again)) ::CoUninitialize();
    }).join();
    EXPECT_EQ(again, S_OK);
    EXPECT_TRUE(netcon.Records().empty());
}

// A thread that already lives in the multithreaded apartment: the restart's own CoInitialize
// fails there, and it must not end the apartment that the thread's owner still relies on.
TEST(ConnectionRestart, KeepsTheApartmentOfAThreadThatHadOneAlready) {
    NetconDoubleSession netcon({"0 Wi-Fi"});
    ASSERT_TRUE(netcon.registered());
    HRESULT first = E_FAIL, after = E_FAIL;
    std::thread([&] {
        first = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        tvx::RestartNetworkConnections();
        after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(after)) ::CoUninitialize();
        if (SUCCEEDED(first)) ::CoUninitialize();
    }).join();
    ASSERT_EQ(first, S_OK);
    EXPECT_EQ(after, S_FALSE) << "the multithreaded apartment was ended by the restart";
    // The restart still happened, through the thread's own apartment.
    EXPECT_NE(Find(netcon.Records(), "connect", L"Wi-Fi"), nullptr);
}

}  // namespace
