// The window on screens other than the suite's own, run by run_on_screen.sh with a display and
// a DPI of their own: it takes one scale factor (the DPI / 96, reduced until it fits the work
// area), keeps inside the work area, and its START button is where the scaled picture shows it.
#include <cmath>
#include <cstdlib>

#include "tests/app/app_fixture.h"

namespace tvx::test {
namespace {

using OtherScreen = AppTest;

TEST_F(OtherScreen, WindowFitsTheWorkAreaAtOneScaleAndStartWorksThere) {
    const char* dpiText = std::getenv("TARNIVEX_SCREEN_DPI");
    if (!dpiText) GTEST_SKIP() << "run by run_on_screen.sh only";
    const int dpi = std::atoi(dpiText);
    ASSERT_EQ(static_cast<int>(::GetDpiForSystem()), dpi) << "the prefix is not at that DPI";
    Launch();

    RECT window{}, work{};
    ::GetWindowRect(wnd_, &window);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    // The factor the window uses, read back from its width; the height follows from it.
    const double scale = width / 500.0;
    EXPECT_NEAR(height, std::lround(800 * scale), 1) << width << " x " << height;
    EXPECT_GE(window.left, work.left);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
    const double natural = dpi / 96.0;
    const LONG workHeight = work.bottom - work.top;
    if (800 * natural + 64 > workHeight) {
        // Reduced to fit: smaller than the DPI asks for, and as tall as a small margin allows.
        EXPECT_LT(scale, natural);
        EXPECT_GE(height, workHeight - 64) << "reduced further than needed";
    } else {
        EXPECT_EQ(width, std::lround(500 * natural));
    }
    // The rounded corners scale with it: the region covers the whole window.
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(wnd_, region), ERROR);
    RECT box{};
    ::GetRgnBox(region, &box);
    ::DeleteObject(region);
    EXPECT_EQ(box.right, width - 1);
    EXPECT_EQ(box.bottom, height - 1);

    if (dpi == 144) ExpectLooksLike(L"start-144dpi");

    const auto at = [&](POINT p) {
        return POINT{std::lround(p.x * scale), std::lround(p.y * scale)};
    };
    const POINT start = at(kStart);
    Press(wnd_, start.x, start.y);
    EXPECT_TRUE(WaitUntil(TuningApplied, 20000))
        << "no pass from a press at " << start.x << "," << start.y;
    Press(wnd_, start.x, start.y);
    EXPECT_TRUE(WaitUntil(TuningAbsent, 20000)) << "STOP did not remove the values";
}

}  // namespace
}  // namespace tvx::test
