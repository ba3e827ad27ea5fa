#include "notify/toast.h"

#include <windows.h>
#include <roapi.h>
#include <shobjidl.h>
#include <winstring.h>

#include <iterator>
#include <exception>
#include <string>

#include "framework/scoped.h"
#include "notify/toast_identity.h"
#include "notify/winrt_toast_interfaces.h"

namespace tvx {

namespace {

// A string made by WindowsCreateString, deleted once.
class CreatedString {
public:
    CreatedString() = default;
    ~CreatedString() {
        if (h_) ::WindowsDeleteString(h_);
    }
    CreatedString(const CreatedString&) = delete;
    CreatedString& operator=(const CreatedString&) = delete;
    HSTRING get() const { return h_; }
    HSTRING* put() { return &h_; }

private:
    HSTRING h_ = nullptr;
};

// A string reference over text that outlives it: nothing is copied and nothing is freed. The
// header has to stay where it is while the reference is in use.
class StringReference {
public:
    StringReference(const wchar_t* text, UINT32 length)
        : hr_(::WindowsCreateStringReference(text, length, &header_, &h_)) {}
    StringReference(const StringReference&) = delete;
    StringReference& operator=(const StringReference&) = delete;
    bool ok() const { return SUCCEEDED(hr_); }
    HSTRING get() const { return h_; }

private:
    HSTRING_HEADER header_{};
    HSTRING h_ = nullptr;
    HRESULT hr_;
};

// From the manager factory to Show; every object is released on the way out, newest first, before
// the runtime is uninitialised by the caller.
void ShowWithRuntime(const wchar_t* text) {
    // Declared in the reverse of the order they are let go: the toast goes first, the manager
    // factory and then the identity string last.
    CreatedString appId;
    ComPtr<IToastNotificationManagerStatics> manager;
    ComPtr<IToastNotifier> notifier;
    ComPtr<IInspectable> document;
    ComPtr<IXmlDocumentIO> documentIo;
    ComPtr<IXmlDocument> content;
    ComPtr<IToastNotificationFactory> factory;
    ComPtr<IToastNotification> toast;

    StringReference managerClass(kToastManagerClass, std::size(kToastManagerClass) - 1);
    if (!managerClass.ok() ||
        FAILED(::RoGetActivationFactory(
            managerClass.get(), __uuidof(IToastNotificationManagerStatics), manager.put_void())) ||
        !manager) {
        return;
    }

    if (FAILED(::WindowsCreateString(kToastAppId, std::size(kToastAppId) - 1, appId.put())) ||
        FAILED(manager->CreateToastNotifierWithId(appId.get(), notifier.put())) || !notifier) {
        return;
    }

    const std::wstring xml = ComposeToastXml(text);
    StringReference xmlText(xml.c_str(), static_cast<UINT32>(xml.size()));
    StringReference documentClass(kXmlDocumentClass, std::size(kXmlDocumentClass) - 1);
    if (!xmlText.ok() || !documentClass.ok() ||
        FAILED(::RoActivateInstance(documentClass.get(), document.put())) || !document ||
        FAILED(document->QueryInterface(__uuidof(IXmlDocumentIO), documentIo.put_void())) ||
        !documentIo || FAILED(documentIo->LoadXml(xmlText.get()))) {
        return;
    }

    StringReference toastClass(kToastNotificationClass, std::size(kToastNotificationClass) - 1);
    if (!toastClass.ok() ||
        FAILED(::RoGetActivationFactory(toastClass.get(), __uuidof(IToastNotificationFactory),
                                        factory.put_void())) ||
        !factory || FAILED(document->QueryInterface(__uuidof(IXmlDocument), content.put_void())) ||
        !content || FAILED(factory->CreateToastNotification(content.get(), toast.put())) ||
        !toast) {
        return;
    }

    // Whether the system then displays it (toasts may be switched off) is not our concern.
    notifier->Show(toast.get());
}

}  // namespace

void ShowToast(const wchar_t* text) {
    if (!text) return;
    // The identity has to be the process's before the notifier is asked for under it; without
    // it neither the registration nor the toast makes sense.
    if (FAILED(::SetCurrentProcessExplicitAppUserModelID(kToastAppId))) return;
    try {
        RegisterToastIdentity();

        ApartmentScope runtime(::RoInitialize(RO_INIT_MULTITHREADED), &::RoUninitialize);
        if (!runtime.ok()) return;
        ShowWithRuntime(text);
    } catch (const std::exception&) {
        // Out of memory while composing: no toast, and nothing escapes the worker thread.
    }
}

}  // namespace tvx
