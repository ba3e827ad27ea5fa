#include "engine/pass_turns.h"

#include <chrono>

namespace tvx {

bool PassTurns::Enter() {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = ++latest_;
    // Older waiters learn at once that they are superseded.
    changed_.notify_all();
    changed_.wait(lock, [&] { return closed_ || ticket != latest_ || !busy_; });
    if (closed_ || ticket != latest_) return false;
    busy_ = true;
    return true;
}

void PassTurns::Leave() {
    {
        std::lock_guard lock(mutex_);
        busy_ = false;
    }
    changed_.notify_all();
}

void PassTurns::Close() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !busy_; });
    busy_ = true;
}

void PassTurns::Reopen() {
    std::lock_guard lock(mutex_);
    closed_ = false;
}

void PassTurns::WorkerStarting() {
    std::lock_guard lock(mutex_);
    ++workers_;
}

void PassTurns::WorkerEnded() {
    {
        std::lock_guard lock(mutex_);
        if (workers_ > 0) --workers_;
    }
    changed_.notify_all();
}

bool PassTurns::WaitForWorkers(DWORD timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return workers_ == 0; });
}

PassTurns& OptimisationTurns() {
    static PassTurns turns;
    return turns;
}

}  // namespace tvx
