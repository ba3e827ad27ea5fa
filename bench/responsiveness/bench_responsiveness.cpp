// How long the main window takes to answer while the start-up sequence runs against a server
// that misbehaves, printed; nothing passes or fails on a figure.
//
// For each server mode (slow: every reply 5 s late; trickle: a byte a second until each request's
// 15 s deadline; not listening: every connection refused) the main window is created in this
// process as the program creates it, with no day recorded (so all three requests run), and a
// probe thread sends it WM_NULL every 20 ms, each with a 30 s time-out, from the window's
// creation until the sequence has reached its end. Printed: the longest answer, the median, the
// probes sent, how long the window's creation took (nothing reaches it before) and how long the
// sequence took after it (the first tick is due one second after the initialisation). Target: the
// longest answer under 100 ms in every mode.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/dev_server_control.h"
#include "framework/message_box.h"
#include "framework/scoped.h"
#include "online/launch_record.h"
#include "online/online_endpoints.h"
#include "ui/tarnivex_dlg.h"

namespace {

int AnswerOk(const std::wstring&, UINT) { return IDOK; }

struct Figures {
    double longestMs = 0;
    double medianMs = 0;
    size_t probes = 0;
    double createS = 0;    // the window's creation, before which nothing can reach it
    double sequenceS = 0;  // from the window's creation to the sequence's end
    bool done = false;
};

Figures Measure() {
    tvx::SetMessageBoxHook(&AnswerOk);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, tvx::kLaunchKey);
    std::atomic<HWND> target{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<bool> probing{true};
    std::mutex mutex;
    std::vector<double> answers;
    // Started first: a thread started while a worker loads its libraries waits for the loader.
    std::thread probe([&] {
        while (!target && !stop) ::Sleep(1);
        const HWND hwnd = target;
        while (!stop) {
            const double sent = tvx::bench::SecondsNow();
            DWORD_PTR result = 0;
            ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            const double ms = (tvx::bench::SecondsNow() - sent) * 1000;
            {
                std::lock_guard lock(mutex);
                answers.push_back(ms);
            }
            ::Sleep(20);
        }
        probing = false;
    });
    const double start = tvx::bench::SecondsNow();
    CTarnivexDlg dlg;
    const HWND hwnd = dlg.Create();
    Figures figures;
    if (hwnd) {
        ::ShowWindow(hwnd, SW_HIDE);
        dlg.m_bAutoPing = FALSE;  // the values of the machine are not part of this
    }
    const double created = tvx::bench::SecondsNow();
    figures.createS = created - start;
    target = hwnd;
    // The window's own loop, as the program's modal loop runs it, until the sequence has ended;
    // then until the probe has stopped, since its last message needs this loop too.
    const auto pump = [] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    };
    const ULONGLONG deadline = ::GetTickCount64() + 120000;
    while (hwnd && !dlg.OnlineSequenceDone() && ::GetTickCount64() < deadline) pump();
    figures.done = dlg.OnlineSequenceDone();
    figures.sequenceS = tvx::bench::SecondsNow() - created;
    stop = true;
    while (probing) pump();
    probe.join();
    ::Shell_NotifyIconW(NIM_DELETE, &dlg.m_nid);
    if (hwnd) ::DestroyWindow(hwnd);
    tvx::SetMessageBoxHook(nullptr);

    std::sort(answers.begin(), answers.end());
    figures.probes = answers.size();
    if (!answers.empty()) {
        figures.longestMs = answers.back();
        figures.medianMs = answers[answers.size() / 2];
    }
    return figures;
}

}  // namespace

int wmain() {
    if (std::wstring(tvx::kUpdateCheckUrl).rfind(L"https://127.0.0.1:", 0) != 0 ||
        !bench::Control(L"/_reset", "")) {
        std::printf("responsiveness  skipped: no development server at the built-in address\n");
        return 0;
    }
    struct Mode {
        const char* name;
        std::vector<std::pair<const wchar_t*, std::string>> config;
    };
    const Mode modes[] = {
        {"slow (5 s)", {{L"/_config?key=mode", "slow"}, {L"/_config?key=delay", "5"}}},
        {"trickle (1 B/s)", {{L"/_config?key=mode", "trickle"}}},
        {"not listening", {{L"/_listen", "off"}}},
    };
    std::printf("window answers during the start-up sequence (WM_NULL every 20 ms)\n");
    std::printf("%-18s %12s %12s %8s %10s %12s\n", "server", "longest ms", "median ms", "probes",
                "created s", "sequence s");
    for (const Mode& mode : modes) {
        bench::Control(L"/_reset", "");
        for (const auto& [path, body] : mode.config) bench::Control(path, body);
        const Figures f = Measure();
        std::printf("%-18s %12.1f %12.2f %8zu %10.2f %12.2f%s\n", mode.name, f.longestMs,
                    f.medianMs, f.probes, f.createS, f.sequenceS, f.done ? "" : " (did not end)");
    }
    bench::Control(L"/_reset", "");
    std::printf("target: longest under 100 ms in every mode\n");
    return 0;
}
