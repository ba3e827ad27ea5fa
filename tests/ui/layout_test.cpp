#include "ui/layout.h"

#include <gtest/gtest.h>

#include "framework/rect.h"

namespace {

TEST(Layout, RectanglesForTheWindowWidth) {
    const auto l = tvx::ComputeLayout(500);
    EXPECT_EQ(l.logo, CRect(185, 258, 315, 391));
    EXPECT_EQ(l.settings, CRect(412, 24, 436, 48));
    EXPECT_EQ(l.close, CRect(452, 24, 476, 48));
    EXPECT_EQ(l.start, CRect(180, 475, 320, 542));
    EXPECT_EQ(l.stop, CRect(180, 475, 320, 542));
}

TEST(Layout, OtherWidthsMoveLogoGearAndCrossButNotTheButton) {
    const auto l = tvx::ComputeLayout(641);
    EXPECT_EQ(l.logo, CRect(255, 258, 385, 391));  // (641 - 130) / 2 truncates to 255
    EXPECT_EQ(l.settings, CRect(553, 24, 577, 48));
    EXPECT_EQ(l.close, CRect(593, 24, 617, 48));
    EXPECT_EQ(l.start, CRect(180, 475, 320, 542));
    EXPECT_EQ(l.stop, l.start);
    // Narrower than the logo: the division truncates toward zero, not down.
    EXPECT_EQ(tvx::ComputeLayout(127).logo.left, -1);
}

}  // namespace

namespace {

RECT Area(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

TEST(WindowScale, TheDpiReducedToFitTheWorkAreaWithAMargin) {
    const struct {
        UINT dpi;
        RECT area;
        double scale;
    } cases[] = {
        {96, Area(0, 0, 1280, 1024), 1.0},   // the skin as it is
        {96, Area(0, 0, 1600, 860), 1.0},    // 900 pixels high less a taskbar: still 1
        {144, Area(0, 0, 3840, 2160), 1.5},  // room enough: the DPI alone
        {192, Area(0, 0, 3840, 2120), 2.0},
        {144, Area(0, 0, 1280, 1024), 1.24},    // (1024 - 32) / 800
        {96, Area(0, 0, 1366, 728), 0.87},      // (728 - 32) / 800 = 0.87
        {120, Area(0, 0, 1366, 768), 0.92},     // 1.25 asked, (768 - 32) / 800 given
        {192, Area(1920, 0, 3000, 3000), 2.0},  // narrow but tall: (1080 - 32) / 500 > 2
        {192, Area(0, 0, 900, 3000), 1.73},     // the width decides: (900 - 32) / 500 = 1.736
        {96, Area(0, 0, 200, 300), 0.5},        // never smaller than half
        {0, Area(0, 0, 1280, 1024), 1.0},       // no DPI known: 96
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi on " << c.area.right - c.area.left
                                        << " x " << c.area.bottom - c.area.top);
        EXPECT_DOUBLE_EQ(tvx::WindowScale(c.dpi, c.area), c.scale);
    }
}

TEST(WindowScale, SizesRectanglesAndTheRenderingSetFollowTheScale) {
    EXPECT_EQ(tvx::ScaledWindowSize(1.24).cx, 620);
    EXPECT_EQ(tvx::ScaledWindowSize(1.24).cy, 992);
    EXPECT_EQ(tvx::ScaledWindowSize(0.87).cx, 435);
    // 150 %: halves round up, as scripts/render-images cuts the larger images.
    const auto l = tvx::ComputeLayout(750, 1.5);
    EXPECT_EQ(l.logo, CRect(278, 387, 473, 587));
    EXPECT_EQ(l.settings, CRect(618, 36, 654, 72));
    EXPECT_EQ(l.close, CRect(678, 36, 714, 72));
    EXPECT_EQ(l.start, CRect(270, 713, 480, 813));
    EXPECT_EQ(l.stop, l.start);
    EXPECT_EQ(tvx::ComputeLayout(1000, 2.0).start, CRect(360, 950, 640, 1084));
    EXPECT_EQ(tvx::ComputeLayout(620, 1.24).start, CRect(223, 589, 397, 672));

    for (const auto& [scale, set] : {std::pair{0.5, 100},
                                     {1.0, 100},
                                     {1.01, 150},
                                     {1.24, 150},
                                     {1.5, 150},
                                     {1.51, 200},
                                     {2.0, 200},
                                     {3.0, 200}}) {
        EXPECT_EQ(tvx::SkinSetFor(scale), set) << scale;
    }
}

TEST(WindowPlacement, CentredOnTheWorkAreaAndInsideIt) {
    // As the dialog's own centring did at 500 x 800 on 1280 x 1024.
    EXPECT_EQ(tvx::CentredOn(Area(0, 0, 1280, 1024), SIZE{500, 800}).x, 390);
    EXPECT_EQ(tvx::CentredOn(Area(0, 0, 1280, 1024), SIZE{500, 800}).y, 112);
    // A second monitor left of and above the first.
    const POINT p = tvx::CentredOn(Area(-1920, -200, 0, 880), SIZE{620, 992});
    EXPECT_EQ(p.x, -1270);
    EXPECT_EQ(p.y, -156);
    // Larger than the area: its top-left corner stays on it.
    const POINT big = tvx::CentredOn(Area(100, 50, 600, 700), SIZE{620, 992});
    EXPECT_EQ(big.x, 100);
    EXPECT_EQ(big.y, 50);
}

TEST(WindowPlacement, ADragKeepsTheTitleStripOnTheWorkArea) {
    const RECT area = Area(0, 0, 1366, 728);
    auto keep = [&](RECT r) { return tvx::KeepTitleOn(r, area, 60, 120); };
    auto same = [](RECT a, RECT b) {
        return CRect(a.left, a.top, a.right, a.bottom) == CRect(b.left, b.top, b.right, b.bottom);
    };
    // Anywhere the strip is fully on, nothing moves, also with the body below the screen.
    EXPECT_TRUE(same(keep(Area(100, 100, 600, 900)), Area(100, 100, 600, 900)));
    EXPECT_TRUE(same(keep(Area(100, 668, 600, 1468)), Area(100, 668, 600, 1468)));
    EXPECT_TRUE(same(keep(Area(-380, 0, 120, 800)), Area(-380, 0, 120, 800)));
    EXPECT_TRUE(same(keep(Area(1246, 0, 1746, 800)), Area(1246, 0, 1746, 800)));
    // Dragged by the lower body above the screen: the top comes back to the area's top.
    EXPECT_TRUE(same(keep(Area(100, -500, 600, 300)), Area(100, 0, 600, 800)));
    // Below it: the strip's bottom on the area's bottom edge.
    EXPECT_TRUE(same(keep(Area(100, 700, 600, 1500)), Area(100, 668, 600, 1468)));
    // Off to either side: 120 pixels of the strip stay.
    EXPECT_TRUE(same(keep(Area(-450, 10, 50, 810)), Area(-380, 10, 120, 810)));
    EXPECT_TRUE(same(keep(Area(1300, 10, 1800, 810)), Area(1246, 10, 1746, 810)));
    // A work area away from the origin.
    EXPECT_TRUE(
        same(tvx::KeepTitleOn(Area(-3000, -900, -2500, -100), Area(-1920, -200, 0, 880), 60, 120),
             Area(-2300, -200, -1800, 600)));
}

}  // namespace
