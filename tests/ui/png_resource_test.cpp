#include "ui/png_resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "res/resource.h"
#include "test_images.h"
#include "ui/startup_gates.h"

namespace {

using Gdiplus::Bitmap;
using Gdiplus::Color;

class PngResource : public ::testing::Test {
protected:
    void SetUp() override { tvx::StartGdiplusOnce(); }
};

// ARGB of one pixel, read by drawing `image` onto a fresh bitmap of its size.
Gdiplus::ARGB DrawnPixel(Gdiplus::Image* image, int x, int y, int w, int h) {
    Bitmap target(w, h, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&target);
        g.Clear(Color(0, 0, 0, 0));
        g.DrawImage(image, 0, 0, w, h);
    }
    Color c;
    target.GetPixel(x, y, &c);
    return c.GetValue();
}

TEST_F(PngResource, MissingIdOrAnotherTypeGivesNull) {
    EXPECT_EQ(tvx::LoadPngResource(999), nullptr);
    // The same bytes stored as RCDATA are not a "PNG" resource.
    EXPECT_EQ(tvx::LoadPngResource(TEST_RCDATA_FOUR_BY_TWO), nullptr);
}

TEST_F(PngResource, DecodesTheStoredPictureAndUsesOnlyTheLow16BitsOfTheId) {
    for (UINT id : {UINT{TEST_PNG_FOUR_BY_TWO}, UINT{0x10000 + TEST_PNG_FOUR_BY_TWO}}) {
        std::unique_ptr<Bitmap> image(tvx::LoadPngResource(id));
        ASSERT_NE(image, nullptr) << id;
        EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(image->GetWidth(), 4u);
        EXPECT_EQ(image->GetHeight(), 2u);
        Color c;
        image->GetPixel(2, 0, &c);
        EXPECT_EQ(c.GetValue(), Color(255, 0, 0, 255).GetValue());
        image->GetPixel(0, 1, &c);
        EXPECT_EQ(c.GetAlpha(), 128);  // the alpha channel survives
    }
}

TEST_F(PngResource, BitmapStaysDrawableAfterTheLoaderReturned) {
    std::unique_ptr<Bitmap> image(tvx::LoadPngResource(TEST_PNG_FOUR_BY_TWO));
    ASSERT_NE(image, nullptr);
    // Churn the global heap: a bitmap reading from freed memory would now draw garbage.
    std::vector<HGLOBAL> blocks;
    for (int i = 0; i < 64; ++i) {
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 200 + i);
        if (void* p = ::GlobalLock(block)) {
            memset(p, 0xA5, 200 + i);
            ::GlobalUnlock(block);
        }
        blocks.push_back(block);
    }
    for (HGLOBAL block : blocks) ::GlobalFree(block);

    EXPECT_EQ(DrawnPixel(image.get(), 0, 0, 4, 2), Color(255, 255, 0, 0).GetValue());
    EXPECT_EQ(DrawnPixel(image.get(), 1, 0, 4, 2), Color(255, 0, 255, 0).GetValue());
    EXPECT_EQ(DrawnPixel(image.get(), 3, 1, 4, 2), Color(255, 255, 0, 255).GetValue());
}

TEST_F(PngResource, UndecodableBytesGiveABitmapThatDrawsNothing) {
    std::unique_ptr<Bitmap> image(tvx::LoadPngResource(TEST_PNG_UNDECODABLE));
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->GetLastStatus(), Gdiplus::Ok);

    Bitmap target(8, 8, PixelFormat32bppARGB);
    Gdiplus::Graphics g(&target);
    const Color below(255, 10, 20, 30);
    g.Clear(below);
    EXPECT_NE(g.DrawImage(image.get(), 0, 0, 8, 8), Gdiplus::Ok);
    Color c;
    target.GetPixel(4, 4, &c);
    EXPECT_EQ(c.GetValue(), below.GetValue());
}

TEST_F(PngResource, TheProgramsSixImagesHaveTheirSizes) {
    struct Expected {
        UINT id;
        UINT width, height;
    };
    for (const Expected& e :
         {Expected{IDB_PNG_BACKGROUND, 500, 800}, Expected{IDB_PNG_LOGO, 130, 133},
          Expected{IDB_PNG_SETTINGS, 24, 24}, Expected{IDB_PNG_CLOSE, 24, 24},
          Expected{IDB_PNG_START, 140, 67}, Expected{IDB_PNG_STOP, 140, 67}}) {
        std::unique_ptr<Bitmap> image(tvx::LoadPngResource(e.id));
        ASSERT_NE(image, nullptr) << e.id;
        EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok) << e.id;
        EXPECT_EQ(image->GetWidth(), e.width) << e.id;
        EXPECT_EQ(image->GetHeight(), e.height) << e.id;
        EXPECT_EQ(image->GetPixelFormat(), PixelFormat32bppARGB) << e.id;
    }
}

}  // namespace
