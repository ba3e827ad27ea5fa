// A stand-in for the system's network connection manager, which Wine does not have. Its
// connections come from the text file named by TARNIVEX_NETCON_CONFIG, read again at every
// enumeration, and everything done to them is appended to the file named by TARNIVEX_NETCON_LOG
// (UTF-8, one record a line). Both formats are described in tests/support/netcon_double.h.
#include <windows.h>
#include <netcon.h>

#include <atomic>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

std::atomic<long> g_liveObjects{0};
std::atomic<long> g_locks{0};
SRWLOCK g_logLock = SRWLOCK_INIT;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer)) return {};
    return std::wstring(buffer, n);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                              nullptr, nullptr);
    }
    return out;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                              n);
    }
    return out;
}

// "<event> <thread id> <FILETIME ticks> <detail>"; the file is opened per record so that a test
// may read it at any moment, and the clock is the one the toast stand-in uses.
void Log(const char* event, const std::wstring& detail = {}) {
    const std::wstring path = Environment(L"TARNIVEX_NETCON_LOG");
    if (path.empty()) return;
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::string record = std::string(event) + " " + std::to_string(::GetCurrentThreadId()) +
                               " " + std::to_string(ticks) + " " + Utf8(detail) + "\n";
    ::AcquireSRWLockExclusive(&g_logLock);
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ::ReleaseSRWLockExclusive(&g_logLock);
}

struct ConfiguredConnection {
    NETCON_STATUS status = NCS_DISCONNECTED;
    bool disconnectFails = false;
    std::wstring name;
};

struct Config {
    bool enumFails = false;
    std::vector<ConfiguredConnection> connections;
};

Config ReadConfig() {
    Config config;
    const std::wstring path = Environment(L"TARNIVEX_NETCON_CONFIG");
    if (path.empty()) return config;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return config;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);

    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line == "fail-enum") {
            config.enumFails = true;
            continue;
        }
        // "<status>[!] <name>"
        size_t i = 0;
        long status = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9')
            status = status * 10 + (line[i++] - '0');
        if (i == 0) continue;
        ConfiguredConnection entry;
        entry.status = static_cast<NETCON_STATUS>(status);
        if (i < line.size() && line[i] == '!') {
            entry.disconnectFails = true;
            ++i;
        }
        while (i < line.size() && line[i] == ' ') ++i;
        entry.name = FromUtf8(line.substr(i));
        config.connections.push_back(std::move(entry));
    }
    return config;
}

wchar_t* CoTaskText(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* out = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (out) std::memcpy(out, text.c_str(), bytes);
    return out;
}

// Reference counting and the live-object count behind DllCanUnloadNow.
template <typename Interface>
class Object : public Interface {
public:
    Object() { ++g_liveObjects; }
    virtual ~Object() { --g_liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceId()) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            OnFinalRelease();
            delete this;
        }
        return left;
    }

protected:
    virtual const IID& InterfaceId() const = 0;
    virtual void OnFinalRelease() {}

private:
    std::atomic<ULONG> refs_{1};
};

class Connection : public Object<INetConnection> {
public:
    explicit Connection(ConfiguredConnection configured) : configured_(std::move(configured)) {}

    HRESULT STDMETHODCALLTYPE Connect() override {
        Log("connect", configured_.name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        Log(configured_.disconnectFails ? "disconnect-failed" : "disconnect", configured_.name);
        return configured_.disconnectFails ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Duplicate(LPCWSTR, INetConnection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperties(NETCON_PROPERTIES** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto* props = static_cast<NETCON_PROPERTIES*>(::CoTaskMemAlloc(sizeof(NETCON_PROPERTIES)));
        if (!props) return E_OUTOFMEMORY;
        std::memset(props, 0, sizeof *props);
        props->pszwName = CoTaskText(configured_.name);
        props->pszwDeviceName = CoTaskText(L"Stand-in adapter");
        props->Status = configured_.status;
        props->MediaType = NCM_LAN;
        Log("properties", configured_.name);
        *out = props;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUiObjectClassId(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Rename(LPCWSTR) override { return E_NOTIMPL; }

protected:
    const IID& InterfaceId() const override { return IID_INetConnection; }
    void OnFinalRelease() override { Log("release-connection", configured_.name); }

private:
    ConfiguredConnection configured_;
};

class Enumerator : public Object<IEnumNetConnection> {
public:
    explicit Enumerator(std::vector<ConfiguredConnection> connections)
        : connections_(std::move(connections)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, INetConnection** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG given = 0;
        while (given < count && next_ < connections_.size()) {
            out[given++] = new Connection(connections_[next_++]);
        }
        if (fetched) *fetched = given;
        Log("next", std::to_wstring(given));
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min(connections_.size(), next_ + count);
        return next_ < connections_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumNetConnection**) override { return E_NOTIMPL; }

protected:
    const IID& InterfaceId() const override { return IID_IEnumNetConnection; }
    void OnFinalRelease() override { Log("release-enum"); }

private:
    std::vector<ConfiguredConnection> connections_;
    size_t next_ = 0;
};

class Manager : public Object<INetConnectionManager> {
public:
    Manager() { Log("create-manager"); }

    HRESULT STDMETHODCALLTYPE EnumConnections(NETCONMGR_ENUM_FLAGS flags,
                                              IEnumNetConnection** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        Config config = ReadConfig();
        Log(config.enumFails ? "enum-failed" : "enum", std::to_wstring(flags));
        if (config.enumFails) return E_FAIL;
        *out = new Enumerator(std::move(config.connections));
        return S_OK;
    }

protected:
    const IID& InterfaceId() const override { return IID_INetConnectionManager; }
    void OnFinalRelease() override { Log("release-manager"); }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: its lifetime is the DLL's.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* manager = new Manager();
        const HRESULT hr = manager->QueryInterface(iid, out);
        manager->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_ConnectionManager) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_liveObjects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
