// The Windows Runtime interfaces the toast needs. mingw-w64 ships no headers for
// Windows.UI.Notifications or Windows.Data.Xml.Dom, so they are declared here from their
// identifiers.
//
// THE ORDER OF THE METHODS MATTERS: callers reach a method by its slot in the vtable, so every
// interface lists its methods exactly in the order Windows defines them (after IUnknown's three
// and IInspectable's three), up to the last one anybody here calls or implements. Slots we never
// call are kept as placeholders with their real names so the order stays checkable against the
// Windows headers; a method we do not declare at the end is simply never reached.
#pragma once

#include <windows.h>
#include <inspectable.h>
#include <hstring.h>

// Windows.Data.Xml.Dom.IXmlDocument. Only handed on to the notification factory, never called:
// no method of its own is declared.
MIDL_INTERFACE("F7F3A506-1E87-42D6-BCFB-B8C809FA5494")
IXmlDocument : public IInspectable{};
__CRT_UUID_DECL(IXmlDocument, 0xf7f3a506, 0x1e87, 0x42d6, 0xbc, 0xfb, 0xb8, 0xc8, 0x09, 0xfa, 0x54,
                0x94)

// Windows.Data.Xml.Dom.IXmlDocumentIO: LoadXml is its first method.
MIDL_INTERFACE("6CD0E74E-EE65-4489-9EBF-CA43E87BA637")
IXmlDocumentIO : public IInspectable {
public:
    virtual HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING xml,
                                                          IInspectable * loadSettings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable * file,
                                                      IInspectable * *asyncInfo) = 0;
};
__CRT_UUID_DECL(IXmlDocumentIO, 0x6cd0e74e, 0xee65, 0x4489, 0x9e, 0xbf, 0xca, 0x43, 0xe8, 0x7b,
                0xa6, 0x37)

// Windows.UI.Notifications.IToastNotification. Handed to the notifier only; its first method
// (get_Content) is the one a stand-in answers, the eight event and expiry slots follow it.
MIDL_INTERFACE("997E2675-059E-4E60-8B06-1760917C8B80")
IToastNotification : public IInspectable {
public:
    virtual HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ExpirationTime(IInspectable * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpirationTime(IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Dismissed(IInspectable * handler, INT64 * token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Dismissed(INT64 token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Activated(IInspectable * handler, INT64 * token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Activated(INT64 token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Failed(IInspectable * handler, INT64 * token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Failed(INT64 token) = 0;
};
__CRT_UUID_DECL(IToastNotification, 0x997e2675, 0x059e, 0x4e60, 0x8b, 0x06, 0x17, 0x60, 0x91, 0x7c,
                0x8b, 0x80)

// Windows.UI.Notifications.IToastNotifier: Show is its first method. The setting is an enum
// (a 32-bit integer on the wire).
MIDL_INTERFACE("75927B93-03F3-41EC-91D3-6E5BAC1B38E7")
IToastNotifier : public IInspectable {
public:
    virtual HRESULT STDMETHODCALLTYPE Show(IToastNotification * notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hide(IToastNotification * notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Setting(INT32 * value) = 0;
};
__CRT_UUID_DECL(IToastNotifier, 0x75927b93, 0x03f3, 0x41ec, 0x91, 0xd3, 0x6e, 0x5b, 0xac, 0x1b,
                0x38, 0xe7)

// Windows.UI.Notifications.IToastNotificationManagerStatics: CreateToastNotifier comes first,
// CreateToastNotifierWithId second, GetTemplateContent third.
MIDL_INTERFACE("50AC103F-D235-4598-BBEF-98FE4D1A3AD4")
IToastNotificationManagerStatics : public IInspectable {
public:
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier * *notifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING applicationId,
                                                                IToastNotifier * *notifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTemplateContent(INT32 type, IXmlDocument * *content) = 0;
};
__CRT_UUID_DECL(IToastNotificationManagerStatics, 0x50ac103f, 0xd235, 0x4598, 0xbb, 0xef, 0x98,
                0xfe, 0x4d, 0x1a, 0x3a, 0xd4)

// Windows.UI.Notifications.IToastNotificationFactory: its only method.
MIDL_INTERFACE("04124B20-82C6-4229-B109-FD9ED4662B53")
IToastNotificationFactory : public IInspectable {
public:
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument * content,
                                                              IToastNotification * *value) = 0;
};
__CRT_UUID_DECL(IToastNotificationFactory, 0x04124b20, 0x82c6, 0x4229, 0xb1, 0x09, 0xfd, 0x9e, 0xd4,
                0x66, 0x2b, 0x53)

namespace tvx {

// Runtime class names, with the lengths the string references are made with.
inline constexpr wchar_t kToastManagerClass[] =
    L"Windows.UI.Notifications.ToastNotificationManager";
inline constexpr wchar_t kXmlDocumentClass[] = L"Windows.Data.Xml.Dom.XmlDocument";
inline constexpr wchar_t kToastNotificationClass[] = L"Windows.UI.Notifications.ToastNotification";
static_assert(sizeof(kToastManagerClass) / sizeof(wchar_t) - 1 == 49);
static_assert(sizeof(kXmlDocumentClass) / sizeof(wchar_t) - 1 == 32);
static_assert(sizeof(kToastNotificationClass) / sizeof(wchar_t) - 1 == 42);

}  // namespace tvx
