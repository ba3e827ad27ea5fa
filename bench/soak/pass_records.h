// What the stand-ins recorded while the program ran its passes.
#pragma once

#include <string>
#include <vector>

namespace tvx::soak {

// Appends of the stand-ins, read on from where the last read ended: a pass that got its turn
// shows a toast first, and its last step releases the connection manager.
class PassRecords {
public:
    PassRecords(std::wstring toastLog, std::wstring netconLog);
    int Begun();
    int Ended();
    // Runtime-class activations the toasts made (one factory created per activation).
    int Activations();
    // When the latest pass ended (FILETIME units, the clock of GetSystemTimePreciseAsFileTime).
    unsigned long long LastEndTicks();

private:
    struct Tail {
        std::wstring path;
        unsigned long long offset = 0;
        std::string partial;
    };
    // Complete lines appended since the last call.
    static std::vector<std::string> NewLines(Tail& tail);
    void Update();

    Tail toast_, netcon_;
    int begun_ = 0;
    int ended_ = 0;
    int activations_ = 0;
    unsigned long long lastEndTicks_ = 0;
};

// Now, in the stand-ins' clock (FILETIME units, GetSystemTimePreciseAsFileTime).
unsigned long long NowTicks();

}  // namespace tvx::soak
