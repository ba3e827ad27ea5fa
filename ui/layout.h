// Where the window's pictures sit, from the client width and the window's scale. Only the logo,
// the gear and the cross follow the width; the START/STOP button stays put. At a scale other
// than 1 every edge of the 100 % layout is multiplied by it and rounded half up, the same
// rounding scripts/render-images uses for the larger renderings of the images.
#pragma once

#include <windows.h>

#include "framework/rect.h"

namespace tvx {

struct MainLayout {
    CRect logo;
    CRect settings;
    CRect close;
    CRect start;
    CRect stop;
};

// The skin's own size in pixels at 100 %.
inline constexpr int kSkinWidth = 500;
inline constexpr int kSkinHeight = 800;

MainLayout ComputeLayout(int clientWidth, double scale = 1.0);

// A length or rectangle of the 100 % skin at `scale`, rounded half up.
int ScaleLength(int length, double scale);
CRect ScaleRect(const CRect& rect, double scale);
// The window's size at `scale`.
SIZE ScaledWindowSize(double scale);

// The window's one scale factor: the monitor's DPI / 96, reduced (to whole hundredths) when the
// window would not fit the work area with a margin on every side. Never below 0.5.
double WindowScale(UINT dpi, const RECT& workArea);

// The rendering set (100, 150 or 200 %) to paint from: the smallest at or above the scale, the
// largest above 2.
int SkinSetFor(double scale);

// Top-left corner of a window of `size` centred on `area`, moved inside it where it would
// stick out (a window larger than the area keeps its top-left corner on it).
POINT CentredOn(const RECT& area, SIZE size);

// A proposed window rectangle, moved as little as possible so that its title strip (the top
// `titleHeight` pixels) lies inside `area` from top to bottom and shows at least
// `minVisibleWidth` pixels of its width there. Keeps the window's size.
RECT KeepTitleOn(const RECT& proposed, const RECT& area, int titleHeight, int minVisibleWidth);

}  // namespace tvx
