#include "engine/pass_turns.h"

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

PassTurns& OptimisationTurns() {
    static PassTurns turns;
    return turns;
}

}  // namespace tvx
