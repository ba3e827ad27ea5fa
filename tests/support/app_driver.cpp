#include "tests/support/app_driver.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdlib>

#include "framework/scoped.h"

namespace tvx::test {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() >= deadline) return done();
        ::Sleep(20);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount64() >= deadline) return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

AppProcess::AppProcess(AppProcess&& o) noexcept
    : process_(std::exchange(o.process_, nullptr)), pid_(std::exchange(o.pid_, 0)) {}

AppProcess& AppProcess::operator=(AppProcess&& o) noexcept {
    if (this != &o) {
        Kill();
        process_ = std::exchange(o.process_, nullptr);
        pid_ = std::exchange(o.pid_, 0);
    }
    return *this;
}

AppProcess AppProcess::Start(const std::wstring& exe, HANDLE token) {
    AppProcess app;
    const std::wstring dir = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL ok = token ? ::CreateProcessAsUserW(token, exe.c_str(), cmd.data(), nullptr, nullptr,
                                                   FALSE, 0, nullptr, dir.c_str(), &si, &pi)
                          : ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0,
                                             nullptr, dir.c_str(), &si, &pi);
    if (!ok) return app;
    ::CloseHandle(pi.hThread);
    app.process_ = pi.hProcess;
    app.pid_ = pi.dwProcessId;
    return app;
}

bool AppProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!process_ || ::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(process_, exitCode);
    return true;
}

void AppProcess::Kill() {
    if (!process_) return;
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(std::exchange(process_, nullptr));
    pid_ = 0;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
    std::vector<DWORD> ids;
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0) ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void KillAllNamed(const std::wstring& exeName, DWORD keepPid) {
    for (int round = 0; round < 100; ++round) {
        bool any = false;
        for (DWORD pid : ProcessesNamed(exeName)) {
            if (pid == keepPid) continue;
            UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            if (!process) continue;
            any = true;
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
        if (!any) {
            // Quiet for a moment: nothing was half-way through starting another copy.
            ::Sleep(100);
            bool again = false;
            for (DWORD pid : ProcessesNamed(exeName)) again = again || pid != keepPid;
            if (!again) return;
        }
    }
}

std::wstring ProcessCommandLine(DWORD pid) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return {};
    // Read from the process's own parameter block: PEB -> RTL_USER_PROCESS_PARAMETERS ->
    // CommandLine (offsets 0x20 and 0x70 on x64).
    using Query = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process.get(), 0, &basic, sizeof basic, nullptr) < 0) return {};
    auto read = [&](const void* at, void* into, size_t size) {
        SIZE_T got = 0;
        return ::ReadProcessMemory(process.get(), at, into, size, &got) && got == size;
    };
    const BYTE* params = nullptr;
    UNICODE_STRING line{};
    if (!read(reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + 0x20, &params, sizeof params) ||
        !read(params + 0x70, &line, sizeof line)) {
        return {};
    }
    std::wstring text(line.Length / sizeof(wchar_t), L'\0');
    if (!text.empty() && !read(line.Buffer, text.data(), line.Length)) return {};
    return text;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    ::EnumWindows(
        [](HWND wnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(wnd, &owner);
            if (s->pid == 0 || owner == s->pid) s->found.push_back(wnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND wnd) {
    wchar_t text[1024] = {};
    const int n = ::GetWindowTextW(wnd, text, 1024);
    return std::wstring(text, n > 0 ? n : 0);
}

namespace {
std::wstring ClassOf(HWND wnd) {
    wchar_t name[64] = {};
    const int n = ::GetClassNameW(wnd, name, 64);
    return std::wstring(name, n > 0 ? n : 0);
}
bool IsMessageBox(HWND wnd) {
    return ClassOf(wnd) == L"#32770" && ::GetDlgItem(wnd, 0xFFFF) != nullptr;
}
}  // namespace

HWND FindMainWindow(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND wnd : TopLevelWindows(pid)) {
                if (WindowText(wnd) == L"Tarnivex" && !::GetWindow(wnd, GW_OWNER) &&
                    !IsMessageBox(wnd)) {
                    found = wnd;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

HWND FindMessageBox(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND wnd : TopLevelWindows(pid)) {
                if (IsMessageBox(wnd) && ::IsWindowVisible(wnd)) {
                    found = wnd;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::wstring MessageBoxText(HWND box) {
    wchar_t text[2048] = {};
    const UINT n = ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
    return std::wstring(text, n);
}

bool ClickDialogButton(HWND box, int id) {
    HWND button = ::GetDlgItem(box, id);
    if (!button) return false;
    // Posted: the box's modal loop in the other process handles it, and we never block on it.
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

HWND FindPopupMenu(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = nullptr;
            for (HWND wnd : TopLevelWindows(pid)) {
                if (ClassOf(wnd) == L"#32768" && ::IsWindowVisible(wnd)) found = wnd;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

void Press(HWND wnd, int x, int y) {
    const LPARAM point = MAKELPARAM(x, y);
    ::PostMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageW(wnd, WM_LBUTTONUP, 0, point);
}

bool TrayIconExists(HWND wnd, UINT id) {
    // Modifying nothing succeeds only for an icon the tray knows.
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = wnd;
    nid.uID = id;
    nid.uFlags = 0;
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

Image CaptureWindow(HWND wnd) {
    Image image;
    RECT rc{};
    if (!::GetWindowRect(wnd, &rc)) return image;
    image.width = rc.right - rc.left;
    image.height = rc.bottom - rc.top;
    if (image.width <= 0 || image.height <= 0) return Image{};

    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject dib(::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (dib) {
        HGDIOBJ old = ::SelectObject(memory, dib.get());
        ::BitBlt(memory, 0, 0, image.width, image.height, screen, rc.left, rc.top, SRCCOPY);
        ::GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        image.pixels.assign(p, p + static_cast<size_t>(image.width) * image.height);
        for (auto& px : image.pixels) px &= 0x00FFFFFF;
        ::SelectObject(memory, old);
    } else {
        image = Image{};
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
}

namespace {
// GDI+ for the PNG files, started once for the test process.
bool StartGdiPlus() {
    static const bool started = [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}
}  // namespace

bool SavePng(const Image& image, const std::wstring& path) {
    CLSID png{};
    if (!StartGdiPlus() || !PngEncoder(&png) || image.pixels.empty()) return false;
    std::vector<std::uint32_t> opaque(image.pixels);
    for (auto& px : opaque) px |= 0xFF000000;
    Gdiplus::Bitmap bitmap(image.width, image.height, image.width * 4, PixelFormat32bppARGB,
                           reinterpret_cast<BYTE*>(opaque.data()));
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool LoadPng(const std::wstring& path, Image* image) {
    if (!StartGdiPlus() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    Gdiplus::Bitmap bitmap(path.c_str());
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(bitmap.GetWidth()),
                       static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok) {
        return false;
    }
    image->width = rect.Width;
    image->height = rect.Height;
    image->pixels.resize(static_cast<size_t>(rect.Width) * rect.Height);
    for (int y = 0; y < rect.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < rect.Width; ++x) {
            image->pixels[static_cast<size_t>(y) * rect.Width + x] = row[x] & 0x00FFFFFF;
        }
    }
    bitmap.UnlockBits(&data);
    return true;
}

ImageDifference Compare(const Image& actual, const Image& expected) {
    ImageDifference d;
    d.sameSize = actual.width == expected.width && actual.height == expected.height &&
                 actual.pixels.size() == expected.pixels.size() && !actual.pixels.empty();
    if (!d.sameSize) return d;
    double total = 0;
    size_t over = 0;
    for (size_t i = 0; i < actual.pixels.size(); ++i) {
        int worst = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = static_cast<int>((actual.pixels[i] >> shift) & 0xFF);
            const int e = static_cast<int>((expected.pixels[i] >> shift) & 0xFF);
            const int diff = std::abs(a - e);
            total += diff;
            if (diff > worst) worst = diff;
        }
        if (worst > 40) ++over;
    }
    d.meanAbsolute = total / (3.0 * static_cast<double>(actual.pixels.size()));
    d.fractionOver40 = static_cast<double>(over) / static_cast<double>(actual.pixels.size());
    return d;
}

}  // namespace tvx::test
