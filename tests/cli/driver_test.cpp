#include "cli/driver.h"

#include <gtest/gtest.h>

#include <numeric>

namespace mirva::cli {
namespace {

TEST(ApplyPaletteOptions, GreyComesBeforeInverse) {
    RunState state;
    state.picture_palette[0] = {63, 0, 0};
    state.picture_palette[1] = {10, 20, 31};
    state.picture_palette[255] = {63, 63, 63};
    RunState grey = state;
    grey.bw = true;
    apply_palette_options(grey);
    EXPECT_EQ(grey.picture_palette[0], (screen::Rgb{21, 21, 21}));
    EXPECT_EQ(grey.picture_palette[1], (screen::Rgb{20, 20, 20}));  // 61 / 3 truncates.
    RunState both = state;
    both.bw = true;
    both.inverse = true;
    apply_palette_options(both);
    EXPECT_EQ(both.picture_palette[0], (screen::Rgb{42, 42, 42}));
    EXPECT_EQ(both.picture_palette[2], (screen::Rgb{63, 63, 63}));
    EXPECT_EQ(both.picture_palette[255], (screen::Rgb{0, 0, 0}));
    RunState inverse = state;
    inverse.inverse = true;
    apply_palette_options(inverse);
    EXPECT_EQ(inverse.picture_palette[1], (screen::Rgb{53, 43, 32}));
    RunState neither = state;
    apply_palette_options(neither);
    EXPECT_EQ(neither.picture_palette, state.picture_palette);
}

TEST(CropToScreen, CentresASmallerPictureOnIndexZero) {
    screen::Picture picture;
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
    screen::Picture picture;
    picture.width = 256;
    picture.height = 192;
    std::iota(picture.pixels.begin(), picture.pixels.end(), 0);
    auto before = picture.pixels;
    crop_to_screen(picture);
    EXPECT_EQ(picture.pixels, before);
}

}  // namespace
}  // namespace mirva::cli
