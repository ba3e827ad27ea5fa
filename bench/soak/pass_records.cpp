#include "bench/soak/pass_records.h"

#include <windows.h>

#include <cstdlib>

#include "framework/scoped.h"

namespace tvx::soak {

unsigned long long NowTicks() {
    FILETIME ft{};
    ::GetSystemTimePreciseAsFileTime(&ft);
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

PassRecords::PassRecords(std::wstring toastLog, std::wstring netconLog) {
    toast_.path = std::move(toastLog);
    netcon_.path = std::move(netconLog);
}

std::vector<std::string> PassRecords::NewLines(Tail& tail) {
    std::vector<std::string> lines;
    UniqueFileHandle file(::CreateFileW(tail.path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(tail.offset);
    if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return lines;
    char buffer[16384];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        tail.offset += got;
        tail.partial.append(buffer, got);
    }
    // A line still being written stays for the next read.
    size_t start = 0;
    for (size_t end; (end = tail.partial.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(tail.partial.substr(start, end - start));
    tail.partial.erase(0, start);
    return lines;
}

namespace {
// "<event> <thread id> <ticks> ..."
unsigned long long TicksField(const std::string& line) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    return second == std::string::npos ? 0 : std::strtoull(line.c_str() + second + 1, nullptr, 10);
}
}  // namespace

void PassRecords::Update() {
    for (const std::string& line : NewLines(toast_)) {
        begun_ += line.rfind("show ", 0) == 0;
        activations_ += line == "created ToastNotificationManager" ||
                        line == "created XmlDocumentFactory" ||
                        line == "created ToastNotificationFactory";
    }
    for (const std::string& line : NewLines(netcon_)) {
        if (line.rfind("release-manager ", 0) != 0) continue;
        ++ended_;
        lastEndTicks_ = TicksField(line);
    }
}

int PassRecords::Begun() {
    Update();
    return begun_;
}

int PassRecords::Ended() {
    Update();
    return ended_;
}

int PassRecords::Activations() {
    Update();
    return activations_;
}

unsigned long long PassRecords::LastEndTicks() {
    Update();
    return lastEndTicks_;
}

}  // namespace tvx::soak
