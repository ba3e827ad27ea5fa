#include "bench/soak/process_figures.h"

#include <roapi.h>
#include <tlhelp32.h>
#include <winstring.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "framework/scoped.h"
#include "notify/winrt_toast_interfaces.h"

namespace tvx::soak {

namespace {

Figure HandleCount(HANDLE process) {
    Figure f;
    DWORD count = 0;
    ::SetLastError(0);
    if (::GetProcessHandleCount(process, &count) && count > 0) {
        f.answered = true;
        f.value = count;
    } else {
        f.error = ::GetLastError();
    }
    return f;
}

using QuerySystem = LONG(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
using QueryObject = LONG(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);

template <typename Fn>
Fn NtFunction(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

// The type's name of one of the process's handles, through a copy of it.
std::string HandleTypeName(HANDLE process, USHORT value) {
    static const auto query = NtFunction<QueryObject>("NtQueryObject");
    HANDLE copy = nullptr;
    if (!query ||
        !::DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)),
                           ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return "?";
    }
    alignas(8) BYTE buffer[1024] = {};
    std::string name = "?";
    if (query(copy, ObjectTypeInformation, buffer, sizeof buffer, nullptr) >= 0) {
        const auto* info = reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer);
        name.clear();
        for (USHORT i = 0; i < info->TypeName.Length / 2; ++i)
            name +=
                static_cast<char>(info->TypeName.Buffer[i] < 0x80 ? info->TypeName.Buffer[i] : '?');
    }
    ::CloseHandle(copy);
    return name;
}

// The same count from the system's list of every open handle, which Wine keeps for real, and
// the count per type of object.
Figure HandleListCount(HANDLE process, DWORD pid, std::map<std::string, int>& byType) {
    Figure f;
    static const auto query = NtFunction<QuerySystem>("NtQuerySystemInformation");
    if (!query) return f;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<BYTE> buffer(1 << 20);
    LONG status = kLengthMismatch;
    while (buffer.size() <= (64u << 20)) {
        ULONG needed = 0;
        status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status != kLengthMismatch) break;
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    if (status < 0) {
        f.error = static_cast<DWORD>(status);
        return f;
    }
    const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    std::map<BYTE, std::string> names;
    for (ULONG i = 0; i < list->Count; ++i) {
        const SYSTEM_HANDLE_ENTRY& entry = list->Handle[i];
        if (entry.OwnerPid != pid) continue;
        ++f.value;
        auto name = names.find(entry.ObjectType);
        if (name == names.end())
            name =
                names.emplace(entry.ObjectType, HandleTypeName(process, entry.HandleValue)).first;
        ++byType[name->second];
    }
    f.answered = f.value > 0;
    return f;
}

// A window's process always holds some GDI and USER objects: 0 means the call did not answer.
Figure GuiObjects(HANDLE process, DWORD which) {
    Figure f;
    ::SetLastError(0);
    const DWORD count = ::GetGuiResources(process, which);
    if (count > 0) {
        f.answered = true;
        f.value = count;
    } else {
        f.error = ::GetLastError();
    }
    return f;
}

Figure ThreadCount(DWORD pid) {
    Figure f;
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) {
        f.error = ::GetLastError();
        return f;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry)) {
        f.value += entry.th32OwnerProcessID == pid;
    }
    f.answered = f.value > 0;
    return f;
}

}  // namespace

double KeysPerActivation() {
    constexpr int kActivations = 20;
    std::map<std::string, int> before, after;
    const HANDLE self = ::GetCurrentProcess();
    const DWORD pid = ::GetCurrentProcessId();
    const HRESULT init = ::RoInitialize(RO_INIT_MULTITHREADED);
    auto activate = [] {
        HSTRING name = nullptr;
        if (FAILED(::WindowsCreateString(kToastManagerClass, std::size(kToastManagerClass) - 1,
                                         &name))) {
            return false;
        }
        IActivationFactory* factory = nullptr;
        const HRESULT hr = ::RoGetActivationFactory(name, __uuidof(IActivationFactory),
                                                    reinterpret_cast<void**>(&factory));
        if (factory) factory->Release();
        ::WindowsDeleteString(name);
        return SUCCEEDED(hr);
    };
    double rate = 0;
    // One activation before counting: what is opened once and kept is not a per-call leak.
    if (activate()) {
        HandleListCount(self, pid, before);
        for (int i = 0; i < kActivations; ++i) activate();
        HandleListCount(self, pid, after);
        rate = static_cast<double>(after["Key"] - before["Key"]) / kActivations;
    }
    if (SUCCEEDED(init)) ::RoUninitialize();
    return rate < 0 ? 0 : rate;
}

LeakFigures Measure(HANDLE process, DWORD pid) {
    LeakFigures f;
    f.handles = HandleCount(process);
    f.handleList = HandleListCount(process, pid, f.handleTypes);
    f.gdi = GuiObjects(process, GR_GDIOBJECTS);
    f.user = GuiObjects(process, GR_USEROBJECTS);
    f.threads = ThreadCount(pid);
    return f;
}

}  // namespace tvx::soak
