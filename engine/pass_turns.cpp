#include "engine/pass_turns.h"

namespace tvx {

PassTurns::PassTurns() : workersDone_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

PassTurns::~PassTurns() {
    if (workersDone_) ::CloseHandle(workersDone_);
}

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
    std::lock_guard workGuard(workMutex_);
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool PassTurns::IsClosed() {
    std::lock_guard lock(mutex_);
    return closed_;
}

void PassTurns::WorkerStarting() {
    std::lock_guard lock(mutex_);
    if (++workers_ == 1 && workersDone_) ::ResetEvent(workersDone_);
}

void PassTurns::WorkerEnded() {
    std::lock_guard lock(mutex_);
    if (workers_ > 0 && --workers_ == 0 && workersDone_) ::SetEvent(workersDone_);
}

bool PassTurns::WaitForWorkers(DWORD timeoutMs) const {
    return workersDone_ && ::WaitForSingleObject(workersDone_, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace tvx
