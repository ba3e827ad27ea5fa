// Skin images: PNG files stored in the program as resources of the named type "PNG".
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace tvx {

// Decodes PNG resource `id` (low 16 bits) of the program into a new bitmap that the caller
// deletes. Null when the resource is missing or any allocation fails; bytes that cannot be
// decoded still give a bitmap, one that holds no image and draws nothing. GDI+ must be started.
// The bitmap reads from a private copy of the bytes that lives exactly as long as it does.
Gdiplus::Bitmap* LoadPngResource(UINT id);
// The same for a resource of another named type holding another format GDI+ decodes ("JPEG").
Gdiplus::Bitmap* LoadImageResource(UINT id, const wchar_t* type);

// A copy of `source` resampled to width x height with high-quality bicubic interpolation, in a
// new bitmap (premultiplied 32-bit) that the caller deletes. The edges are filtered against
// mirrored pixels, not against transparency, so that the copy keeps hard outer edges. Null when
// the source holds no image or the copy cannot be made.
Gdiplus::Bitmap* ResizedCopy(Gdiplus::Bitmap& source, int width, int height);

}  // namespace tvx
