#include "framework/ui_task.h"

#include <utility>

namespace tvx {

UINT UiTaskMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Tarnivex.UiTask");
    return message;
}

std::shared_ptr<UiTaskQueue> UiTaskQueue::For(HWND window) {
    return std::shared_ptr<UiTaskQueue>(new UiTaskQueue(window));
}

bool UiTaskQueue::Post(Task task) {
    std::lock_guard lock(mutex_);
    if (!window_ || !task) return false;
    tasks_.push_back(std::move(task));
    // One message per closure: a drain empties the queue, later messages find it empty. Posted
    // under the lock, so that Close() cannot let the window go in between.
    if (!::PostMessageW(window_, UiTaskMessage(), 0, 0)) {
        tasks_.pop_back();
        return false;
    }
    return true;
}

void UiTaskQueue::Drain() {
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (!window_ || tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        // One at a time: a closure may open a message box whose loop drains the rest, or close
        // the queue. An exception goes on to the window's handler, as any handler's would.
        task();
    }
}

void UiTaskQueue::Close() {
    std::deque<Task> dropped;
    {
        std::lock_guard lock(mutex_);
        window_ = nullptr;
        dropped.swap(tasks_);
    }
    // Destroyed outside the lock: a closure's captures may post or close again.
}

bool UiTaskQueue::Closed() const {
    std::lock_guard lock(mutex_);
    return window_ == nullptr;
}

}  // namespace tvx
