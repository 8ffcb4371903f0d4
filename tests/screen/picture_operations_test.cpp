#include <gtest/gtest.h>

#include <numeric>

#include "screen/framing.h"
#include "screen/palette_options.h"

namespace mirva::screen {
namespace {

TEST(ApplyPaletteOptions, GreyComesBeforeInverse) {
    Palette palette{};
    palette[0] = {63, 0, 0};
    palette[1] = {10, 20, 31};
    palette[255] = {63, 63, 63};
    Palette grey = palette;
    apply_palette_options(grey, {.bw = true});
    EXPECT_EQ(grey[0], (Rgb{21, 21, 21}));
    EXPECT_EQ(grey[1], (Rgb{20, 20, 20}));  // 61 / 3 truncates.
    Palette both = palette;
    apply_palette_options(both, {.bw = true, .inverse = true});
    EXPECT_EQ(both[0], (Rgb{42, 42, 42}));
    EXPECT_EQ(both[2], (Rgb{63, 63, 63}));
    EXPECT_EQ(both[255], (Rgb{0, 0, 0}));
    Palette inverse = palette;
    apply_palette_options(inverse, {.inverse = true});
    EXPECT_EQ(inverse[1], (Rgb{53, 43, 32}));
    Palette neither = palette;
    apply_palette_options(neither, {});
    EXPECT_EQ(neither, palette);
}

TEST(CropToScreen, CentresASmallerPictureOnIndexZero) {
    Picture picture;
    picture.width = 3;
    picture.height = 3;
    std::iota(picture.pixels.begin(), picture.pixels.begin() + 9, 1);
    crop_to_screen(picture);
    EXPECT_EQ(picture.width, 256);
    EXPECT_EQ(picture.height, 192);
    // In the frame the picture stands at rows 99..101, columns 158..160; the window starts at
    // row 4, column 32.
    for (int y = 0; y < 192; ++y) {
        for (int x = 0; x < 256; ++x) {
            int px = x - 126;
            int py = y - 95;
            bool inside = px >= 0 && px < 3 && py >= 0 && py < 3;
            ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y * 256 + x)],
                      inside ? py * 3 + px + 1 : 0)
                << x << "," << y;
        }
    }
}

TEST(CropToScreen, LeavesAFullSizePictureAlone) {
    Picture picture;
    picture.width = 256;
    picture.height = 192;
    std::iota(picture.pixels.begin(), picture.pixels.end(), 0);
    auto before = picture.pixels;
    crop_to_screen(picture);
    EXPECT_EQ(picture.pixels, before);
}

}  // namespace
}  // namespace mirva::screen
