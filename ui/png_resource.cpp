#include "ui/png_resource.h"

#include <cstring>
#include <new>

namespace tvx {

Gdiplus::Bitmap* LoadPngResource(UINT id) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(LOWORD(id)), L"PNG");
    if (!found) return nullptr;
    const DWORD size = ::SizeofResource(module, found);
    const HGLOBAL loaded = ::LoadResource(module, found);
    if (!loaded) return nullptr;
    const void* bytes = ::LockResource(loaded);
    if (!bytes) return nullptr;

    // GDI+ reads the stream again whenever it needs pixels, long after this function: it must
    // get memory of its own, not the mapped resource.
    const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    void* copy = ::GlobalLock(block);
    if (!copy) {
        ::GlobalFree(block);
        return nullptr;
    }
    std::memcpy(copy, bytes, size);
    ::GlobalUnlock(block);

    IStream* stream = nullptr;
    if (::CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        ::GlobalFree(block);
        return nullptr;
    }
    // From here the stream owns the block. GDI+'s operator new returns null on failure without
    // the compiler checking for it, so allocate and construct in two steps.
    Gdiplus::Bitmap* bitmap = nullptr;
    if (void* memory = Gdiplus::GdiplusBase::operator new(sizeof(Gdiplus::Bitmap))) {
        bitmap = ::new (memory) Gdiplus::Bitmap(stream);
    }
    // The bitmap keeps its own reference while it lives; when decoding failed it kept none and
    // this frees the stream and the block.
    stream->Release();
    return bitmap;
}

}  // namespace tvx
