#include "ui/png_resource.h"

#include <cstring>
#include <new>

namespace tvx {

Gdiplus::Bitmap* LoadPngResource(UINT id) { return LoadImageResource(id, L"PNG"); }

Gdiplus::Bitmap* LoadImageResource(UINT id, const wchar_t* type) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(LOWORD(id)), type);
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

Gdiplus::Bitmap* ResizedCopy(Gdiplus::Bitmap& source, int width, int height) {
    if (width <= 0 || height <= 0 || source.GetWidth() == 0 || source.GetHeight() == 0) {
        return nullptr;
    }
    Gdiplus::Bitmap* copy = nullptr;
    if (void* memory = Gdiplus::GdiplusBase::operator new(sizeof(Gdiplus::Bitmap))) {
        copy = ::new (memory) Gdiplus::Bitmap(width, height, PixelFormat32bppPARGB);
    }
    if (!copy) return nullptr;
    Gdiplus::Status drawn = copy->GetLastStatus();
    if (drawn == Gdiplus::Ok) {
        Gdiplus::Graphics graphics(copy);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
        Gdiplus::ImageAttributes edges;
        edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        drawn = graphics.DrawImage(
            &source, Gdiplus::Rect(0, 0, width, height), 0, 0, static_cast<INT>(source.GetWidth()),
            static_cast<INT>(source.GetHeight()), Gdiplus::UnitPixel, &edges);
    }
    if (drawn != Gdiplus::Ok) {
        delete copy;
        return nullptr;
    }
    return copy;
}

}  // namespace tvx
