// Move-only owners for the Win32 handles the program opens. Each one closes its handle exactly
// once and only when it was really obtained, so failure paths leak nothing.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

#include <utility>

namespace tvx {

// Generic owner: Traits gives the invalid value and the close function.
template <typename Traits>
class Scoped {
public:
    using Handle = typename Traits::Handle;

    Scoped() = default;
    explicit Scoped(Handle h) : h_(h) {}
    ~Scoped() { reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& o) noexcept : h_(std::exchange(o.h_, Traits::invalid())) {}
    Scoped& operator=(Scoped&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Traits::invalid()));
        return *this;
    }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    // For out-parameters: the old handle is closed first.
    Handle* put() {
        reset();
        return &h_;
    }
    Handle release() { return std::exchange(h_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::invalid();
};

// Kernel handles. Beware: CreateFile and CreateToolhelp32Snapshot fail with
// INVALID_HANDLE_VALUE, while OpenProcess, CreateMutex and CreateThread fail with null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::CloseHandle(h); }
};
using UniqueHandle = Scoped<KernelHandleTraits>;
using UniqueFileHandle = Scoped<FileHandleTraits>;

// Registry keys. Reg* functions return the error code instead of setting GetLastError.
struct KeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::RegCloseKey(h); }
};
using UniqueKey = Scoped<KeyTraits>;

// WinINet handles (session, connection and request alike).
struct InternetTraits {
    using Handle = HINTERNET;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::InternetCloseHandle(h); }
};
using UniqueInternet = Scoped<InternetTraits>;

// Certificate stores and certificates (crypt32), such as those a signature carries.
struct CertStoreTraits {
    using Handle = HCERTSTORE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::CertCloseStore(h, 0); }
};
using UniqueCertStore = Scoped<CertStoreTraits>;
struct CertContextTraits {
    using Handle = PCCERT_CONTEXT;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::CertFreeCertificateContext(h); }
};
using UniqueCertContext = Scoped<CertContextTraits>;

// GDI objects (regions, bitmaps, brushes). A region handed to SetWindowRgn belongs to the
// window afterwards: release() it then, never delete it.
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::DeleteObject(h); }
};
using UniqueGdiObject = Scoped<GdiObjectTraits>;

// Icons made for the caller (LoadIconMetric, CreateIconFromResourceEx); never the shared ones
// LoadIcon hands out.
struct IconTraits {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ::DestroyIcon(h); }
};
using UniqueIcon = Scoped<IconTraits>;

// Memory from CoTaskMemAlloc (SHGetKnownFolderPath, property records).
template <typename T>
class CoTaskMem {
public:
    CoTaskMem() = default;
    ~CoTaskMem() { ::CoTaskMemFree(p_); }
    CoTaskMem(const CoTaskMem&) = delete;
    CoTaskMem& operator=(const CoTaskMem&) = delete;
    T* get() const { return p_; }
    T** put() {
        ::CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }

private:
    T* p_ = nullptr;
};

// COM interface pointer: one Release per reference it holds.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

// One apartment initialisation of the calling thread (CoInitializeEx or RoInitialize) and its
// balancing call (CoUninitialize or RoUninitialize). The balance is owed even when the
// initialisation answered S_FALSE (already initialised the same way on this thread); a failure,
// such as RPC_E_CHANGED_MODE on a thread already in another apartment, owes nothing, and
// uninitialising then would tear down the apartment of whoever set up the thread.
class ApartmentScope {
public:
    using Uninitialize = void(WINAPI*)();
    ApartmentScope(HRESULT initialised, Uninitialize uninitialize)
        : hr_(initialised), uninitialize_(uninitialize) {}
    ~ApartmentScope() {
        if (SUCCEEDED(hr_)) uninitialize_();
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;
    bool ok() const { return SUCCEEDED(hr_); }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
    Uninitialize uninitialize_;
};

}  // namespace tvx
