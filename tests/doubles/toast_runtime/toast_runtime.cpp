// A stand-in for the system's toast classes, which Wine does not have. It serves
// Windows.UI.Notifications.ToastNotificationManager, Windows.Data.Xml.Dom.XmlDocument and
// Windows.UI.Notifications.ToastNotification, shows nothing, and appends what it was asked to do
// to the file named by TARNIVEX_TOAST_LOG (UTF-8, one record a line; the format is described in
// tests/support/toast_double.h). Without that variable it records nothing.
//
// TARNIVEX_TOAST_FAIL makes one step fail so callers' failure paths can be exercised:
// "notifier" (CreateToastNotifierWithId), "activate" (the document's ActivateInstance), "load"
// (LoadXml) or "create" (CreateToastNotification).
#include <windows.h>
#include <activation.h>
#include <winstring.h>

#include <atomic>
#include <cwchar>
#include <iterator>
#include <string>
#include <string_view>

#include "notify/winrt_toast_interfaces.h"

namespace {

std::atomic<long> g_liveObjects{0};
SRWLOCK g_logLock = SRWLOCK_INIT;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD n = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer)) return {};
    return std::wstring(buffer, n);
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                              nullptr, nullptr);
    }
    return out;
}

std::wstring_view View(HSTRING s) {
    UINT32 length = 0;
    const wchar_t* raw = ::WindowsGetStringRawBuffer(s, &length);
    return std::wstring_view(raw ? raw : L"", raw ? length : 0);
}

// Appends one whole line; the file is opened per line so a test may read it at any moment.
void Log(const std::string& line) {
    const std::wstring path = Environment(L"TARNIVEX_TOAST_LOG");
    if (path.empty()) return;
    ::AcquireSRWLockExclusive(&g_logLock);
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string record = line + "\n";
        DWORD written = 0;
        ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ::ReleaseSRWLockExclusive(&g_logLock);
}

bool FailAt(const wchar_t* step) { return Environment(L"TARNIVEX_TOAST_FAIL") == step; }

// Lets the stand-in recognise its own objects behind an interface pointer it is handed.
// {8D3C0F5E-6A41-4E0B-9E59-2C7B14A0D6F1}
const GUID kSelfIid = {
    0x8d3c0f5e, 0x6a41, 0x4e0b, {0x9e, 0x59, 0x2c, 0x7b, 0x14, 0xa0, 0xd6, 0xf1}};

// Reference counting, QueryInterface over the listed interfaces, IInspectable, and the
// created/final release records. The first interface listed is the object's identity (its
// IUnknown and IInspectable).
template <typename Derived, typename First, typename... Rest>
class RuntimeObject : public First, public Rest... {
public:
    RuntimeObject() {
        ++g_liveObjects;
        Log(std::string("created ") + Derived::kName);
    }
    virtual ~RuntimeObject() {
        Log(std::string("final release ") + Derived::kName);
        --g_liveObjects;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == kSelfIid) {
            *out = static_cast<Derived*>(this);
        } else if (iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable) ||
                   iid == __uuidof(First)) {
            *out = static_cast<First*>(this);
        } else {
            (void)((iid == __uuidof(Rest) && (*out = static_cast<Rest*>(this))) || ...);
        }
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        if (!name) return E_POINTER;
        return ::WindowsCreateString(Derived::kClass, static_cast<UINT32>(wcslen(Derived::kClass)),
                                     name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        if (!level) return E_POINTER;
        *level = BaseTrust;
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// Our own object behind a pointer we were handed, or null when it is someone else's.
template <typename T, typename Interface>
T* Self(Interface* p) {
    void* self = nullptr;
    if (!p || FAILED(p->QueryInterface(kSelfIid, &self))) return nullptr;
    p->Release();  // the object stays alive through the caller's reference
    return static_cast<T*>(self);
}

class XmlDocument : public RuntimeObject<XmlDocument, IXmlDocumentIO, IXmlDocument> {
public:
    static constexpr char kName[] = "XmlDocument";
    static constexpr const wchar_t* kClass = tvx::kXmlDocumentClass;

    HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) override {
        std::wstring_view text = View(xml);
        Log("load " + Utf8(text));
        if (FailAt(L"load")) return static_cast<HRESULT>(0xC00CE556);  // XML parse error
        // A length that counts the terminator shows up as an embedded null.
        BOOL embeddedNull = FALSE;
        if (text.empty() ||
            (SUCCEEDED(::WindowsStringHasEmbeddedNull(xml, &embeddedNull)) && embeddedNull)) {
            return E_INVALIDARG;
        }
        xml_.assign(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING, IInspectable*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable*, IInspectable**) override {
        return E_NOTIMPL;
    }

    const std::wstring& xml() const { return xml_; }

private:
    std::wstring xml_;
};

class ToastNotification : public RuntimeObject<ToastNotification, IToastNotification> {
public:
    static constexpr char kName[] = "ToastNotification";
    static constexpr const wchar_t* kClass = tvx::kToastNotificationClass;

    ToastNotification(IXmlDocument* content, std::wstring xml) : content_(content), xml_(xml) {
        content_->AddRef();
    }
    ~ToastNotification() override { content_->Release(); }

    HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument** value) override {
        if (!value) return E_POINTER;
        content_->AddRef();
        *value = content_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ExpirationTime(IInspectable*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExpirationTime(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_Dismissed(IInspectable*, INT64*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_Dismissed(INT64) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_Activated(IInspectable*, INT64*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_Activated(INT64) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_Failed(IInspectable*, INT64*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_Failed(INT64) override { return E_NOTIMPL; }

    const std::wstring& xml() const { return xml_; }

private:
    IXmlDocument* content_;
    std::wstring xml_;
};

class ToastNotifier : public RuntimeObject<ToastNotifier, IToastNotifier> {
public:
    static constexpr char kName[] = "ToastNotifier";
    static constexpr const wchar_t* kClass = L"Windows.UI.Notifications.ToastNotifier";

    explicit ToastNotifier(std::wstring appId) : appId_(std::move(appId)) {}

    HRESULT STDMETHODCALLTYPE Show(IToastNotification* notification) override {
        ToastNotification* toast = Self<ToastNotification>(notification);
        if (!toast) return E_INVALIDARG;
        FILETIME now{};
        ::GetSystemTimePreciseAsFileTime(&now);
        const unsigned long long ticks =
            (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        Log("show " + std::to_string(::GetCurrentThreadId()) + " " + std::to_string(ticks) + " " +
            Utf8(appId_) + " " + Utf8(toast->xml()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Hide(IToastNotification*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Setting(INT32* value) override {
        if (!value) return E_POINTER;
        *value = 0;  // enabled
        return S_OK;
    }

private:
    std::wstring appId_;
};

class ToastManagerFactory : public RuntimeObject<ToastManagerFactory, IActivationFactory,
                                                 IToastNotificationManagerStatics> {
public:
    static constexpr char kName[] = "ToastNotificationManager";
    static constexpr const wchar_t* kClass = tvx::kToastManagerClass;

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
    // A desktop process without a package has to name its identity.
    HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING id,
                                                        IToastNotifier** notifier) override {
        if (!notifier) return E_POINTER;
        *notifier = nullptr;
        Log("notifier " + Utf8(View(id)));
        if (FailAt(L"notifier")) return E_FAIL;
        if (View(id).empty()) return E_INVALIDARG;
        *notifier = new ToastNotifier(std::wstring(View(id)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTemplateContent(INT32, IXmlDocument**) override {
        return E_NOTIMPL;
    }
};

class XmlDocumentFactory : public RuntimeObject<XmlDocumentFactory, IActivationFactory> {
public:
    static constexpr char kName[] = "XmlDocumentFactory";
    static constexpr const wchar_t* kClass = tvx::kXmlDocumentClass;

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        if (!instance) return E_POINTER;
        *instance = nullptr;
        if (FailAt(L"activate")) return E_FAIL;
        *instance = static_cast<IXmlDocumentIO*>(new XmlDocument);
        return S_OK;
    }
};

class ToastNotificationFactory : public RuntimeObject<ToastNotificationFactory, IActivationFactory,
                                                      IToastNotificationFactory> {
public:
    static constexpr char kName[] = "ToastNotificationFactory";
    static constexpr const wchar_t* kClass = tvx::kToastNotificationClass;

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument* content,
                                                      IToastNotification** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        // The argument has to be the document's IXmlDocument itself, not another of its
        // interfaces: the object's identity is its IXmlDocumentIO, so a mix-up is visible here.
        XmlDocument* document = Self<XmlDocument>(content);
        if (!document || static_cast<IXmlDocument*>(document) != content) return E_INVALIDARG;
        if (FailAt(L"create")) return E_FAIL;
        if (document->xml().empty()) return E_INVALIDARG;  // nothing loaded
        *value = new ToastNotification(content, document->xml());
        return S_OK;
    }
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetActivationFactory(HSTRING activatableClassId, IActivationFactory** factory) {
    if (!factory) return E_POINTER;
    *factory = nullptr;
    const std::wstring_view name = View(activatableClassId);
    if (name == tvx::kToastManagerClass) {
        *factory = new ToastManagerFactory;
    } else if (name == tvx::kXmlDocumentClass) {
        *factory = new XmlDocumentFactory;
    } else if (name == tvx::kToastNotificationClass) {
        *factory = new ToastNotificationFactory;
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return g_liveObjects == 0 ? S_OK : S_FALSE;
}
