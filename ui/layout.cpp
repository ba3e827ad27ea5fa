#include "ui/layout.h"

#include <algorithm>
#include <cmath>

namespace tvx {

namespace {

// Space kept free between the window and the edges of the work area when it must shrink.
constexpr int kWorkAreaMargin = 16;
constexpr double kSmallestScale = 0.5;

}  // namespace

int ScaleLength(int length, double scale) {
    return scale == 1.0 ? length : static_cast<int>(std::lround(length * scale));
}

CRect ScaleRect(const CRect& r, double scale) {
    return CRect(ScaleLength(r.left, scale), ScaleLength(r.top, scale), ScaleLength(r.right, scale),
                 ScaleLength(r.bottom, scale));
}

SIZE ScaledWindowSize(double scale) {
    return SIZE{ScaleLength(kSkinWidth, scale), ScaleLength(kSkinHeight, scale)};
}

MainLayout ComputeLayout(int w, double scale) {
    // The formulas hold for the 100 % width; a scaled client is first measured back to it.
    if (scale != 1.0) w = static_cast<int>(std::lround(w / scale));
    MainLayout l;
    const int logoLeft = (w - 130) / 2;  // truncates toward zero, as the C division does
    l.logo = CRect(logoLeft, 258, logoLeft + 130, 391);
    l.settings = CRect(w - 88, 24, w - 64, 48);
    l.close = CRect(w - 48, 24, w - 24, 48);
    l.start = CRect(180, 475, 320, 542);
    l.stop = CRect(180, 475, 320, 542);
    if (scale != 1.0) {
        for (CRect* r : {&l.logo, &l.settings, &l.close, &l.start, &l.stop}) {
            *r = ScaleRect(*r, scale);
        }
    }
    return l;
}

double WindowScale(UINT dpi, const RECT& area) {
    double scale = dpi ? dpi / 96.0 : 1.0;
    const double fitWidth =
        static_cast<double>(area.right - area.left - 2 * kWorkAreaMargin) / kSkinWidth;
    const double fitHeight =
        static_cast<double>(area.bottom - area.top - 2 * kWorkAreaMargin) / kSkinHeight;
    const double fit = std::min(fitWidth, fitHeight);
    // Whole hundredths, rounded down, so that the reduced window still fits.
    if (fit < scale) scale = std::floor(fit * 100.0 + 1e-9) / 100.0;
    return std::max(scale, kSmallestScale);
}

int SkinSetFor(double scale) {
    if (scale <= 1.0) return 100;
    if (scale <= 1.5) return 150;
    return 200;
}

POINT CentredOn(const RECT& area, SIZE size) {
    LONG x = (area.left + area.right) / 2 - size.cx / 2;
    LONG y = (area.top + area.bottom) / 2 - size.cy / 2;
    if (x + size.cx > area.right) x = area.right - size.cx;
    if (y + size.cy > area.bottom) y = area.bottom - size.cy;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    return POINT{x, y};
}

RECT KeepTitleOn(const RECT& proposed, const RECT& area, int titleHeight, int minVisibleWidth) {
    const LONG width = proposed.right - proposed.left;
    const LONG height = proposed.bottom - proposed.top;
    const LONG visible = std::min<LONG>(minVisibleWidth, width);
    // Bounds for the left and top edges; where the area is too small, its left/top edge wins.
    const LONG lowestTop = area.top;
    const LONG highestTop = std::max<LONG>(area.top, area.bottom - titleHeight);
    const LONG lowestLeft = area.left - (width - visible);
    const LONG highestLeft = std::max<LONG>(lowestLeft, area.right - visible);
    const LONG left = std::clamp<LONG>(proposed.left, lowestLeft, highestLeft);
    const LONG top = std::clamp<LONG>(proposed.top, lowestTop, highestTop);
    return RECT{left, top, left + width, top + height};
}

}  // namespace tvx
