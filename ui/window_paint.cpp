// Painting: the window's whole face comes from the skin images, straight onto the paint DC.
#include "ui/tarnivex_dlg.h"

namespace {

void DrawAt(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& where) {
    // A bitmap whose bytes could not be decoded has no native image; the draw then fails and
    // leaves what lies below.
    if (image) {
        graphics.DrawImage(image, static_cast<INT>(where.left), static_cast<INT>(where.top),
                           static_cast<INT>(where.right - where.left),
                           static_cast<INT>(where.bottom - where.top));
    }
}

}  // namespace

void CTarnivexDlg::OnPaint() {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (dc) {
        Gdiplus::Graphics graphics(dc);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        // The background is always 500 x 800, whatever the client size.
        DrawAt(graphics, m_imgBackground, RECT{0, 0, 500, 800});
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
