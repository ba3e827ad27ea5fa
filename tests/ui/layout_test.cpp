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
