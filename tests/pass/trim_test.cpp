#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "engine/working_set.h"
#include "framework/scoped.h"
#include "tests/support/process_util.h"

namespace {

using tvx::FormatTrimLine;

TEST(TrimLine, OnlyAProcessThatShrankIsNamed) {
    struct Case {
        ULONGLONG before, after;
        const wchar_t* expected;  // null: no line
    };
    // Sizes under a kilobyte are worded in the system's language; the tests run on a Korean one.
    const Case cases[] = {
        {4096, 3072, L"[최적화] 프로세스: game.exe (해제: 1.00 KB)"},
        {1000, 500, L"[최적화] 프로세스: game.exe (해제: 500 바이트)"},
        {2, 1, L"[최적화] 프로세스: game.exe (해제: 1 바이트)"},
        {10ULL << 20, 0, L"[최적화] 프로세스: game.exe (해제: 10.0 MB)"},
        {(3ULL << 30) + (1ULL << 29), 1ULL << 29, L"[최적화] 프로세스: game.exe (해제: 3.00 GB)"},
        {4096, 4096, nullptr},  // nothing freed
        {4096, 8192, nullptr},  // grew between the readings
        {0, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " -> " << c.after);
        const auto line = FormatTrimLine(L"game.exe", c.before, c.after);
        if (c.expected) {
            ASSERT_TRUE(line.has_value());
            EXPECT_EQ(*line, c.expected);
        } else {
            EXPECT_FALSE(line.has_value());
        }
    }
}

TEST(TrimLine, NameIsKeptAsItIsAndNoLineFeedIsAdded) {
    const auto line = FormatTrimLine(L"게임 클라이언트.exe", 2048, 1024);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, L"[최적화] 프로세스: 게임 클라이언트.exe (해제: 1.00 KB)");
    EXPECT_EQ(line->find(L'\n'), std::wstring::npos);
}

std::set<DWORD> ProcessIds() {
    std::set<DWORD> ids;
    tvx::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        ids.insert(entry.th32ProcessID);
    }
    return ids;
}

// A process that waits until it is ended.
struct IdleChild {
    PROCESS_INFORMATION info{};
    IdleChild() {
        std::wstring cmd = L"\"" + tvx::test::ExeDir() + L"pass_idle_child.exe\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                         &info);
    }
    // Ends the process and drops every handle to it, then waits until its id no longer opens.
    void End() {
        if (!info.hProcess) return;
        ::TerminateProcess(info.hProcess, 0);
        ::WaitForSingleObject(info.hProcess, 5000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
        info.hProcess = info.hThread = nullptr;
        for (int i = 0; i < 250; ++i) {
            tvx::UniqueHandle still(
                ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info.dwProcessId));
            if (!still) return;
            ::Sleep(20);
        }
        ADD_FAILURE() << "process " << info.dwProcessId << " can still be opened";
    }
    ~IdleChild() { End(); }
};

class RecordingObserver : public tvx::TrimObserver {
public:
    std::vector<IdleChild*> endAtFirstEntry;
    std::map<DWORD, bool> visited;  // id -> opened
    std::vector<DWORD> order;

    void BeforeOpen(DWORD) override {
        for (IdleChild* child : endAtFirstEntry) child->End();
        endAtFirstEntry.clear();
    }
    void Visited(DWORD id, bool opened) override {
        visited[id] = opened;
        order.push_back(id);
    }
};

TEST(TrimWalk, ReachesTheEndAndPassesOverProcessesThatEndedMeanwhile) {
    IdleChild first, second;
    ASSERT_NE(first.info.hProcess, nullptr);
    ASSERT_NE(second.info.hProcess, nullptr);
    const DWORD firstId = first.info.dwProcessId, secondId = second.info.dwProcessId;
    const std::set<DWORD> before = ProcessIds();
    ASSERT_TRUE(before.count(firstId) && before.count(secondId));

    RecordingObserver observer;
    observer.endAtFirstEntry = {&first, &second};
    const tvx::TrimWalkCounts counts = tvx::TrimWorkingSets(&observer);
    const std::set<DWORD> after = ProcessIds();

    EXPECT_EQ(counts.entries, observer.order.size());
    size_t opened = 0;
    for (const auto& [id, ok] : observer.visited) opened += ok ? 1 : 0;
    EXPECT_EQ(counts.opened, opened);

    // Both children were in the walk's snapshot but had gone when their turn came.
    ASSERT_TRUE(observer.visited.count(firstId));
    ASSERT_TRUE(observer.visited.count(secondId));
    EXPECT_FALSE(observer.visited[firstId]);
    EXPECT_FALSE(observer.visited[secondId]);
    // The program's own process is trimmed like any other.
    ASSERT_TRUE(observer.visited.count(::GetCurrentProcessId()));
    EXPECT_TRUE(observer.visited[::GetCurrentProcessId()]);
    // Every process alive before and after the walk was visited: the walk went on to the end.
    for (DWORD id : before) {
        if (after.count(id)) {
            EXPECT_TRUE(observer.visited.count(id)) << "process " << id;
        }
    }
    EXPECT_GT(counts.entries, 2u);
}

TEST(TrimWalk, LeavesNoHandleOpen) {
    tvx::TrimAllWorkingSets();  // first use loads what the walk needs
    DWORD handlesBefore = 0, handlesAfter = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &handlesBefore));
    for (int i = 0; i < 5; ++i) tvx::TrimAllWorkingSets();
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &handlesAfter));
    EXPECT_EQ(handlesAfter, handlesBefore);
}

}  // namespace
