// Turns for optimisation passes. Every press starts a worker at once and nothing stops it, so the
// workers settle among themselves who works: one pass at a time, and of the passes waiting only
// the newest request is worth running (it reads the latest state anyway), so older ones give up.
// Twenty quick presses therefore cost at most two passes, not twenty connection restarts.
//
// The program's end closes the turns for good: no pass starts, and no pass begins to write the
// game-ping values, once Close() has returned.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tvx {

class PassTurns {
public:
    PassTurns();
    ~PassTurns();
    PassTurns(const PassTurns&) = delete;
    PassTurns& operator=(const PassTurns&) = delete;

    // Waits until no pass is working. True: the caller now holds the turn and must Leave().
    // False: a newer request came in, or the turns are closed; the caller does nothing.
    bool Enter();
    void Leave();

    // Runs the work unless the turns are closed, and true when it ran. Close() waits for work in
    // progress, so the work either ends before Close() returns or does not start at all.
    template <typename Work>
    bool WhileOpen(Work&& work) {
        std::lock_guard workGuard(workMutex_);
        {
            std::lock_guard lock(mutex_);
            if (closed_) return false;
        }
        work();
        return true;
    }

    // For the program's end, final: every waiting and every later pass gives up. Returns once
    // no WhileOpen work is in progress; a pass still at work afterwards only restarts
    // connections.
    void Close();
    bool IsClosed();

    // Workers started and not yet ended (given up or done), counted from the window's side so
    // that a worker not yet scheduled counts too.
    void WorkerStarting();
    void WorkerEnded();
    // Signalled while no worker is counted; for waits that keep a window alive meanwhile.
    HANDLE WorkersDoneEvent() const { return workersDone_; }
    // True when every worker has ended within the time.
    bool WaitForWorkers(DWORD timeoutMs) const;

private:
    std::mutex mutex_;
    std::mutex workMutex_;
    std::condition_variable changed_;
    std::uint64_t latest_ = 0;
    bool busy_ = false;
    bool closed_ = false;
    unsigned workers_ = 0;
    HANDLE workersDone_;  // manual-reset, set while workers_ == 0
};

// Holds a turn for one scope.
class PassTurn {
public:
    explicit PassTurn(PassTurns& turns) : turns_(turns), held_(turns.Enter()) {}
    ~PassTurn() {
        if (held_) turns_.Leave();
    }
    PassTurn(const PassTurn&) = delete;
    PassTurn& operator=(const PassTurn&) = delete;
    explicit operator bool() const { return held_; }

private:
    PassTurns& turns_;
    bool held_;
};

}  // namespace tvx
