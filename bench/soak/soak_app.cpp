#include "bench/soak/soak_app.h"

#include <shellapi.h>

#include "framework/scoped.h"
#include "tests/support/schtasks_double.h"
#include "ui/layout.h"

namespace tvx::soak {

namespace {

constexpr wchar_t kExeName[] = L"Tarnivex.exe";
constexpr POINT kButtonCenter = {250, 508};
constexpr UINT kTrayIconId = 1;
constexpr DWORD kWindowWaitMs = 20000;
// The start-up sequence begins a second after start and gives up on the missing server within a
// few seconds; past this the box is not coming.
constexpr DWORD kStartupBoxWaitMs = 15000;

struct Observation {
    ValueMap values;
    ValueMap store;
    std::vector<std::uint32_t> button;
    int begun = 0;
    int ended = 0;
    bool operator==(const Observation& o) const {
        return begun == o.begun && ended == o.ended && button == o.button &&
               Differences(values, o.values).empty() && Differences(store, o.store).empty();
    }
};

}  // namespace

bool LooksAlike(const test::Image& a, const test::Image& b) {
    const test::ImageDifference d = test::Compare(a, b);
    return d.sameSize && d.meanAbsolute < 3.0 && d.fractionOver40 < 0.01;
}

const char* ShownName(Shown shown) {
    switch (shown) {
        case Shown::Start:
            return "START";
        case Shown::Stop:
            return "STOP";
        case Shown::Unknown:
            return "unknown";
    }
    return "?";
}

bool SoakApp::Launch(std::string& error) {
    Kill();
    {
        // The program reports every value it changes on its standard output: not into the
        // soak's report. A child takes its standard handles from ours at its start.
        UniqueFileHandle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (nul) ::SetStdHandle(STD_OUTPUT_HANDLE, nul.get());
        process_ = test::AppProcess::Start(test::WindowsPathOf(TARNIVEX_EXE));
        ::SetStdHandle(STD_OUTPUT_HANDLE, output);
    }
    if (!process_) {
        error = "cannot start the program (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    begunAtStart_ = records_.Begun();
    endedAtStart_ = records_.Ended();
    wnd_ = test::FindMainWindow(process_.pid(), kWindowWaitMs);
    if (!wnd_ || !test::WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 10000)) {
        error = "no shown main window";
        return false;
    }
    // Not an error when no box comes: a server that happens to answer at the built-in address
    // raises none (or an offer, answered No like any stray box).
    if (!test::WaitUntil([&] { return AnswerStrayBox(); }, kStartupBoxWaitMs))
        ++launchesWithoutBox_;
    return true;
}

void SoakApp::RemoveTrayIcon() {
    if (!wnd_) return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = wnd_;
    nid.uID = kTrayIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &nid);
}

bool SoakApp::Terminate() {
    if (!process_) return true;
    ::TerminateProcess(process_.handle(), 1);
    const bool ended = process_.WaitExit(10000);
    process_.Kill();
    wnd_ = nullptr;
    if (!ended) test::KillAllNamed(kExeName);
    return ended;
}

void SoakApp::Kill() {
    if (!process_) return;
    RemoveTrayIcon();
    Terminate();
}

void SoakApp::Press() { test::Press(wnd_, kButtonCenter.x, kButtonCenter.y); }

bool SoakApp::AnswerStrayBox() {
    HWND box = test::FindMessageBox(process_.pid(), 0);
    if (!box) return false;
    // OK to a notice, No to an offer: whichever the box has.
    if (!test::ClickDialogButton(box, IDOK) && !test::ClickDialogButton(box, IDNO))
        test::ClickDialogButton(box, IDCANCEL);
    test::WaitUntil([&] { return !::IsWindow(box); }, 3000);
    return true;
}

test::Image SoakApp::CaptureButton() const {
    RECT client{}, window{};
    if (!wnd_ || !::GetClientRect(wnd_, &client) || !::GetWindowRect(wnd_, &window)) return {};
    const test::Image whole = test::CaptureWindow(wnd_);
    const CRect button = ComputeLayout(client.right - client.left).start;
    POINT origin{0, 0};
    ::ClientToScreen(wnd_, &origin);
    const int left = origin.x - window.left + button.left;
    const int top = origin.y - window.top + button.top;
    if (left < 0 || top < 0 || left + button.Width() > whole.width ||
        top + button.Height() > whole.height) {
        return {};
    }
    test::Image image;
    image.width = button.Width();
    image.height = button.Height();
    for (int y = 0; y < image.height; ++y) {
        const auto row =
            whole.pixels.begin() + static_cast<ptrdiff_t>(top + y) * whole.width + left;
        image.pixels.insert(image.pixels.end(), row, row + image.width);
    }
    return image;
}

test::Image SoakApp::StableButton() {
    test::Image last;
    test::WaitUntil(
        [&] {
            AnswerStrayBox();
            // Painted again from the program's own state, whatever covered it before.
            ::InvalidateRect(wnd_, nullptr, FALSE);
            ::Sleep(100);
            test::Image now = CaptureButton();
            const bool same = !now.pixels.empty() && now.pixels == last.pixels;
            last = std::move(now);
            return same;
        },
        3000);
    return last;
}

Shown SoakApp::ShownState(const ButtonLooks& looks) {
    const test::Image now = StableButton();
    if (LooksAlike(now, looks.start)) return Shown::Start;
    if (LooksAlike(now, looks.stop)) return Shown::Stop;
    return Shown::Unknown;
}

bool SoakApp::Settle(DWORD timeoutMs, DWORD quietMs) {
    auto observe = [&] {
        Observation o;
        o.values = ReadGamePingValues();
        o.store = ReadStore().values;
        o.button = CaptureButton().pixels;
        o.begun = BegunHere();
        o.ended = EndedHere();
        return o;
    };
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    Observation last = observe();
    ULONGLONG quietSince = ::GetTickCount64();
    while (::GetTickCount64() < deadline) {
        AnswerStrayBox();
        ::Sleep(50);
        Observation now = observe();
        const ULONGLONG t = ::GetTickCount64();
        if (!(now == last)) {
            last = std::move(now);
            quietSince = t;
        } else if (last.begun == last.ended && t - quietSince >= quietMs) {
            return true;
        }
    }
    return false;
}

}  // namespace tvx::soak
