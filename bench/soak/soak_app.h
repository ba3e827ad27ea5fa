// The real program under the soak: started with the stand-ins' records, pressed on START/STOP,
// watched until its passes settle, and killed.
#pragma once

#include <windows.h>

#include <string>

#include "bench/soak/machine_state.h"
#include "bench/soak/pass_records.h"
#include "tests/support/app_driver.h"

namespace tvx::soak {

enum class Shown { Start, Stop, Unknown };
const char* ShownName(Shown shown);

// The button in each state, captured from the program at the beginning of the soak.
struct ButtonLooks {
    test::Image start;
    test::Image stop;
};

class SoakApp {
public:
    explicit SoakApp(PassRecords& records) : records_(records) {}
    ~SoakApp() { Kill(); }
    SoakApp(const SoakApp&) = delete;
    SoakApp& operator=(const SoakApp&) = delete;

    // Starts the built program and waits for its shown window, then for the message box the
    // start-up sequence raises when it finds no server, and answers it.
    bool Launch(std::string& error);
    // Takes the tray icon away (a killed owner's icon slows every later window start under
    // Wine) and ends the process.
    void Kill();
    void RemoveTrayIcon();
    // TerminateProcess, then waits (bounded) for the end; false when it did not end.
    bool Terminate();

    void Press();
    // Answers a message box of the program, if one is up.
    bool AnswerStrayBox();

    test::Image CaptureButton() const;
    // The button once two captures in a row agree (at most about 3 s).
    test::Image StableButton();
    Shown ShownState(const ButtonLooks& looks);

    // Waits until every pass this copy began has ended and the game-ping values, the backup store,
    // the button and the records stayed the same for quietMs. False when timeoutMs passed first.
    bool Settle(DWORD timeoutMs = 30000, DWORD quietMs = 600);

    DWORD pid() const { return process_.pid(); }
    int BegunHere() { return records_.Begun() - begunAtStart_; }
    int EndedHere() { return records_.Ended() - endedAtStart_; }
    static int LaunchesWithoutBox() { return launchesWithoutBox_; }

private:
    PassRecords& records_;
    test::AppProcess process_;
    HWND wnd_ = nullptr;
    int begunAtStart_ = 0;
    int endedAtStart_ = 0;
    static inline int launchesWithoutBox_ = 0;
};

// The screenshot tests' tolerance: fonts and scaling may shift a few edges.
bool LooksAlike(const test::Image& a, const test::Image& b);

}  // namespace tvx::soak
