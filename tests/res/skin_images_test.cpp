// The skin images and the program icon as the program finds them among its own resources, and
// what the window shows when it draws them in place over the background.
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "res/resource.h"

namespace {

std::span<const uint8_t> ResourceBytes(UINT id, LPCWSTR type) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const uint8_t*>(data), SizeofResource(module, info)};
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct Skin {
    UINT id;
    uint32_t width;
    uint32_t height;
};

constexpr Skin kSkins[] = {
    {IDB_PNG_BACKGROUND, 500, 800},
    {IDB_PNG_LOGO, 130, 133},
    {IDB_PNG_SETTINGS, 24, 24},
    {IDB_PNG_CLOSE, 24, 24},
    {IDB_PNG_START, 140, 67},
    {IDB_PNG_STOP, 140, 67},
    // 150 % and 200 %: each the size of its rectangle at that scale, halves rounded up.
    {IDB_PNG_LOGO_150, 195, 200},
    {IDB_PNG_SETTINGS_150, 36, 36},
    {IDB_PNG_CLOSE_150, 36, 36},
    {IDB_PNG_START_150, 210, 100},
    {IDB_PNG_STOP_150, 210, 100},
    {IDB_PNG_LOGO_200, 260, 266},
    {IDB_PNG_SETTINGS_200, 48, 48},
    {IDB_PNG_CLOSE_200, 48, 48},
    {IDB_PNG_START_200, 280, 134},
    {IDB_PNG_STOP_200, 280, 134},
};

TEST(SkinImages, EachIsAnEightBitRgbaPngOfItsSize) {
    for (const Skin& skin : kSkins) {
        SCOPED_TRACE(skin.id);
        auto bytes = ResourceBytes(skin.id, L"PNG");
        ASSERT_GE(bytes.size(), 33u);
        static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        EXPECT_TRUE(std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin()));
        EXPECT_EQ(0, memcmp(bytes.data() + 12, "IHDR", 4));
        EXPECT_EQ(skin.width, BigEndian32(bytes.data() + 16));
        EXPECT_EQ(skin.height, BigEndian32(bytes.data() + 20));
        EXPECT_EQ(8, bytes[24]);  // bit depth
        EXPECT_EQ(6, bytes[25]);  // colour type: truecolour with alpha
    }
    // The opaque backgrounds of the larger sets are JPEG files.
    for (UINT id : {IDB_JPEG_BACKGROUND_150, IDB_JPEG_BACKGROUND_200}) {
        SCOPED_TRACE(id);
        auto bytes = ResourceBytes(id, L"JPEG");
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(0xFF, bytes[0]);
        EXPECT_EQ(0xD8, bytes[1]);  // start of image
    }
}

TEST(SkinImages, IconGroupHoldsEverySizeAndEachFrameDecodes) {
    HMODULE module = GetModuleHandleW(nullptr);
    HICON icon = LoadIconW(module, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(nullptr, icon);
    DestroyIcon(icon);

    // Group directory: 6-byte header, then 14-byte entries whose width 0 stands for 256.
    auto group = ResourceBytes(IDR_MAINFRAME, RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    const size_t count = group[4] | (group[5] << 8);
    ASSERT_EQ(group.size(), 6 + 14 * count);
    std::set<int> sizes;
    for (size_t i = 0; i < count; ++i) sizes.insert(group[6 + 14 * i] ? group[6 + 14 * i] : 256);
    EXPECT_EQ((std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}), sizes);

    for (int size : sizes) {
        SCOPED_TRACE(size);
        int frameId = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, size, size,
                                                  LR_DEFAULTCOLOR);
        ASSERT_NE(0, frameId);
        auto frame = ResourceBytes(frameId, RT_ICON);
        ASSERT_FALSE(frame.empty());
        HICON decoded =
            CreateIconFromResourceEx(const_cast<PBYTE>(frame.data()), DWORD(frame.size()), TRUE,
                                     0x00030000, size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, decoded);
        if (decoded) DestroyIcon(decoded);
    }
}

// Draws the skin the way the window does: background at (0, 0), then images at their places,
// straight over it with alpha blending, without scaling.
class SkinPainting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token_, &input, nullptr));
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    static std::unique_ptr<Gdiplus::Bitmap> Decode(UINT id) {
        auto bytes = ResourceBytes(id, L"PNG");
        IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
        if (!stream) return nullptr;
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream);
        stream->Release();
        if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
        return bitmap;
    }

    struct Placed {
        UINT id;
        int x, y;
    };

    // The window's face after drawing the background and then `images`, as 0xAARRGGBB pixels.
    static std::vector<uint32_t> Paint(std::initializer_list<Placed> images) {
        Gdiplus::Bitmap face(500, 800, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics graphics(&face);
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            auto background = Decode(IDB_PNG_BACKGROUND);
            EXPECT_NE(nullptr, background);
            if (background) graphics.DrawImage(background.get(), 0, 0, 500, 800);
            for (const Placed& placed : images) {
                auto image = Decode(placed.id);
                EXPECT_NE(nullptr, image) << placed.id;
                if (!image) continue;
                graphics.DrawImage(image.get(), placed.x, placed.y, int(image->GetWidth()),
                                   int(image->GetHeight()));
            }
        }
        std::vector<uint32_t> pixels(500 * 800);
        Gdiplus::BitmapData data{};
        data.Width = 500;
        data.Height = 800;
        data.Stride = 500 * 4;
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = pixels.data();
        Gdiplus::Rect all(0, 0, 500, 800);
        EXPECT_EQ(
            Gdiplus::Ok,
            face.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                          PixelFormat32bppARGB, &data));
        face.UnlockBits(&data);
        return pixels;
    }

    static int Channel(uint32_t pixel, int shift) { return int((pixel >> shift) & 0xff); }

    static inline ULONG_PTR token_ = 0;
};

TEST_F(SkinPainting, LogoAndStartDrawnInPlaceLeaveTheBackgroundUnchanged) {
    auto background = Paint({});
    auto face = Paint({{IDB_PNG_LOGO, 185, 258}, {IDB_PNG_START, 180, 475}});
    size_t changed = 0;
    for (size_t i = 0; i < face.size(); ++i) changed += face[i] != background[i];
    EXPECT_EQ(0u, changed);
}

TEST_F(SkinPainting, StopCoversTheOrangeButtonWithoutAFringe) {
    auto face = Paint({{IDB_PNG_STOP, 180, 475}});
    // Orange: red far above blue. The bare backdrop around the button stays well below this,
    // the painted START pill and any half-covered edge of it well above.
    int orange = 0;
    for (int y = 475; y < 542; ++y) {
        for (int x = 180; x < 320; ++x) {
            uint32_t pixel = face[y * 500 + x];
            orange += Channel(pixel, 16) - Channel(pixel, 0) > 48;
        }
    }
    EXPECT_EQ(0, orange);

    auto start = Paint({});
    int startOrange = 0;
    for (int x = 180; x < 320; ++x) {
        uint32_t pixel = start[508 * 500 + x];
        startOrange += Channel(pixel, 16) - Channel(pixel, 0) > 48;
    }
    EXPECT_GT(startOrange, 100) << "the background's own START button is orange";
}

TEST_F(SkinPainting, GearAndCrossSitOnDarkGround) {
    auto background = Paint({});
    auto face = Paint({{IDB_PNG_SETTINGS, 412, 24}, {IDB_PNG_CLOSE, 452, 24}});
    for (int left : {412, 452}) {
        int darkest = 255, brightest = 0;
        for (int y = 24; y < 48; ++y) {
            for (int x = left; x < left + 24; ++x) {
                uint32_t ground = background[y * 500 + x];
                for (int shift : {0, 8, 16})
                    darkest = std::min(darkest, 255 - Channel(ground, shift));
                brightest = std::max(brightest, Channel(face[y * 500 + x], 8));
            }
        }
        EXPECT_GE(darkest, 192) << "ground under the button at x " << left;
        EXPECT_EQ(255, brightest) << "button at x " << left << " has solid white";
    }
}

}  // namespace
