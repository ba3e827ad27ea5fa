// One way back to a window's thread: a worker posts a closure, the window's thread runs it.
// Closures reach the window as one registered message and run in the order they were posted,
// on the thread that owns the window, from whichever message loop is running there. Once the
// window is gone (or its queue closed) a posted closure is dropped without running, so a worker
// that outlives the window may still post safely.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tvx {

// The registered message that tells a window to run its queued closures.
UINT UiTaskMessage();

class UiTaskQueue {
public:
    using Task = std::function<void()>;

    // A queue for `window` (may be null: every post is then dropped).
    static std::shared_ptr<UiTaskQueue> For(HWND window);

    UiTaskQueue(const UiTaskQueue&) = delete;
    UiTaskQueue& operator=(const UiTaskQueue&) = delete;

    // From any thread. False when the closure was dropped (queue closed, no window, or the
    // message could not be posted).
    bool Post(Task task);

    // On the window's thread, when UiTaskMessage() arrives: runs the queued closures in order,
    // including any that a running closure posts.
    void Drain();

    // On the window's thread, before the window goes: later posts are dropped and waiting
    // closures are destroyed without running.
    void Close();
    bool Closed() const;

private:
    explicit UiTaskQueue(HWND window) : window_(window) {}

    mutable std::mutex mutex_;
    HWND window_;
    std::deque<Task> tasks_;
};

// What a worker keeps: a way to post that stays valid whatever becomes of the window.
using UiTaskPoster = std::shared_ptr<UiTaskQueue>;

// Runs work() on a thread of its own, then done(its result) on the window's thread. Nothing
// waits for the thread: when the window has gone by then, done is dropped. False when no thread
// could be started (neither runs then).
template <typename Work, typename Done>
bool RunThenPost(UiTaskPoster poster, Work work, Done done) {
    try {
        std::thread([poster = std::move(poster), work = std::move(work),
                     done = std::move(done)]() mutable {
            try {
                auto result = work();
                poster->Post([done = std::move(done), result = std::move(result)]() mutable {
                    done(std::move(result));
                });
            } catch (...) {
                // Nothing may leave a thread; the window hears nothing of this work.
            }
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace tvx
