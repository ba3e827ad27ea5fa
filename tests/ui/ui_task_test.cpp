// The one way back to a window: closures posted from other threads run on the window's thread,
// in the order posted, and nothing posted after the queue closed ever runs.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/ui_task.h"
#include "ui_test_util.h"

namespace {

// A plain window whose procedure drains its queue, as the main window's does.
std::shared_ptr<tvx::UiTaskQueue> g_queue;
LRESULT CALLBACK DrainingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == tvx::UiTaskMessage() && g_queue) {
        g_queue->Drain();
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(UiTask, WorkersClosuresRunInOrderOnTheWindowsThreadAndNoneAfterClose) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = &DrainingProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TarnivexUiTaskTest";
    ::RegisterClassW(&cls);
    const HWND hwnd = ::CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, cls.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    g_queue = tvx::UiTaskQueue::For(hwnd);

    std::vector<int> ran;
    bool otherThread = false;
    const DWORD self = ::GetCurrentThreadId();
    std::thread worker([&, queue = g_queue] {
        for (int i = 0; i < 200; ++i) {
            queue->Post([&, i] {
                ran.push_back(i);
                otherThread = otherThread || ::GetCurrentThreadId() != self;
            });
        }
    });
    worker.join();
    EXPECT_TRUE(ran.empty()) << "ran on the worker";
    tvx::test::PumpMessages(200);
    ASSERT_EQ(ran.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(ran[i], i);
    EXPECT_FALSE(otherThread);

    // Waiting closures are dropped by the close, and later posts are refused.
    std::atomic<int> late{0};
    EXPECT_TRUE(g_queue->Post([&] { ++late; }));
    g_queue->Close();
    EXPECT_FALSE(g_queue->Post([&] { ++late; }));
    tvx::test::PumpMessages(100);
    EXPECT_EQ(late, 0);

    // A queue without a window drops everything.
    EXPECT_FALSE(tvx::UiTaskQueue::For(nullptr)->Post([&] { ++late; }));
    g_queue.reset();
    ::DestroyWindow(hwnd);
}

}  // namespace
