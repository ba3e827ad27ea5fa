// Turns for optimisation passes. Every press starts a worker at once and nothing stops it, so the
// workers settle among themselves who works: one pass at a time, and of the passes waiting only
// the newest request is worth running (it reads the latest state anyway), so older ones give up.
// Twenty quick presses therefore cost at most two passes, not twenty connection restarts.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tvx {

class PassTurns {
public:
    // Waits until no pass is working. True: the caller now holds the turn and must Leave().
    // False: a newer request came in, or the program is closing; the caller does nothing.
    bool Enter();
    void Leave();

    // For the exit command: makes every waiting and every later pass give up, waits for the pass
    // in progress and then holds the turn until Leave().
    void Close();
    // A new request from the window: passes may run again after a Close().
    void Reopen();

    // Workers started and not yet ended (given up or done), counted from the window's side so
    // that a worker not yet scheduled counts too.
    void WorkerStarting();
    void WorkerEnded();
    // True when every worker has ended within the time.
    bool WaitForWorkers(DWORD timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t latest_ = 0;
    bool busy_ = false;
    bool closed_ = false;
    unsigned workers_ = 0;
};

// The turns of the program's passes.
PassTurns& OptimisationTurns();

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
