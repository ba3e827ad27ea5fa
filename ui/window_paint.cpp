// Painting: the window's whole face comes from the skin images, straight onto the paint DC.
#include "ui/layout.h"
#include "ui/tarnivex_dlg.h"

namespace {

void DrawAt(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& where) {
    // A bitmap whose bytes could not be decoded has no native image; the draw then fails and
    // leaves what lies below.
    if (!image) return;
    const INT width = static_cast<INT>(where.right - where.left);
    const INT height = static_cast<INT>(where.bottom - where.top);
    // The window loads its images at the size they are drawn; one that is not (it could not be
    // resampled) is scaled here, as smoothly as the first.
    const bool scaled = image->GetWidth() != static_cast<UINT>(width) ||
                        image->GetHeight() != static_cast<UINT>(height);
    graphics.SetInterpolationMode(scaled ? Gdiplus::InterpolationModeHighQualityBicubic
                                         : Gdiplus::InterpolationModeDefault);
    graphics.DrawImage(image, static_cast<INT>(where.left), static_cast<INT>(where.top), width,
                       height);
}

}  // namespace

void CTarnivexDlg::OnPaint() {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (dc) {
        Gdiplus::Graphics graphics(dc);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        // The background is always the window's size at its scale (500 x 800 at 1), whatever
        // the client size.
        const SIZE face = tvx::ScaledWindowSize(m_scale);
        DrawAt(graphics, m_imgBackground, RECT{0, 0, face.cx, face.cy});
        DrawAt(graphics, m_imgLogo, m_rcLogo);
        DrawAt(graphics, m_imgSettings, m_rcSettings);
        DrawAt(graphics, m_imgClose, m_rcClose);
        // Without the START image the button painted into the background shows, never STOP.
        if (m_imgStart) {
            if (m_bShowStop) {
                DrawAt(graphics, m_imgStop, m_rcStop);
            } else {
                DrawAt(graphics, m_imgStart, m_rcStart);
            }
        }
    }
    // The paint DC validated the whole update region: the dialog's own paint handling has
    // nothing left to draw.
    ::EndPaint(m_hWnd, &ps);
}
