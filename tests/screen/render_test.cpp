#include "screen/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "support/test_card.h"

namespace mirva::screen {
namespace {

// Pixel (x, y) of a rendered picture.
std::uint8_t at(const Picture& picture, int x, int y) {
    return picture.pixels[static_cast<std::size_t>(y * 256 + x)];
}

ScreenImage screen_with(std::size_t offset, std::uint8_t bits, std::uint8_t attribute) {
    ScreenImage screen{};
    screen[offset] = bits;
    screen.fill(0);
    screen[offset] = bits;
    std::fill(screen.begin() + BITMAP_BYTES, screen.end(), attribute);
    return screen;
}

TEST(RenderScreen, AllZeroScreenIsBlack) {
    ScreenImage screen{};
    auto picture = render_screen(screen, false, false, false);
    EXPECT_EQ(picture.width, 256);
    EXPECT_EQ(picture.height, 192);
    EXPECT_EQ(picture.pixels.size(), 64000u);
    EXPECT_TRUE(std::all_of(picture.pixels.begin(), picture.pixels.begin() + 49152,
                            [](std::uint8_t v) { return v == 0; }));
}

TEST(RenderScreen, FollowsTheInterleavedRowOrder) {
    // Offset 2048 starts row 64, offset 256 row 1, offset 32 row 8.
    for (auto [offset, row] : {std::pair{2048, 64}, {256, 1}, {32, 8}, {6143, 191}}) {
        auto picture = render_screen(screen_with(offset, 0x80, 0x07), false, false, false);
        int x = offset == 6143 ? 248 : 0;
        EXPECT_EQ(at(picture, x, row), 7) << offset;
        EXPECT_EQ(at(picture, x + 1, row), 0) << offset;
        EXPECT_EQ(std::count(picture.pixels.begin(), picture.pixels.begin() + 49152, 7), 1);
    }
}

TEST(RenderScreen, BrightCellUsesBrightEntries) {
    auto picture = render_screen(screen_with(0, 0xF0, 0x47), false, false, false);
    EXPECT_EQ(at(picture, 0, 0), 15);
    EXPECT_EQ(at(picture, 4, 0), 8);
}

TEST(RenderScreen, FlashSwapsInPhaseOneAndInverseCancelsIt) {
    auto screen = screen_with(0, 0xF0, 0x81);
    auto phase0 = render_screen(screen, false, false, false);
    auto phase1 = render_screen(screen, false, false, true);
    EXPECT_EQ(at(phase0, 0, 0), 1);
    EXPECT_EQ(at(phase0, 7, 0), 0);
    EXPECT_EQ(at(phase1, 0, 0), 0);
    EXPECT_EQ(at(phase1, 7, 0), 1);
    auto both = render_screen(screen, false, true, true);
    EXPECT_EQ(both.pixels, phase0.pixels);
    auto steady = screen_with(0, 0xF0, 0x01);
    EXPECT_EQ(render_screen(steady, false, false, true).pixels,
              render_screen(steady, false, false, false).pixels);
}

TEST(RenderScreen, BlackAndWhiteShowsTheBitmapWhateverTheAttributes) {
    auto screen = screen_with(0, 0xF0, 0x00);
    auto bw = render_screen(screen, true, false, false);
    EXPECT_EQ(at(bw, 0, 0), 15);
    EXPECT_EQ(at(bw, 7, 0), 8);
    EXPECT_EQ(at(bw, 100, 100), 8);
    auto bw_inverse = render_screen(screen, true, true, false);
    EXPECT_EQ(at(bw_inverse, 0, 0), 8);
    EXPECT_EQ(at(bw_inverse, 7, 0), 15);
    // Flashing cells still swap with -b.
    auto flashing = render_screen(screen_with(0, 0xF0, 0x80), true, false, true);
    EXPECT_EQ(at(flashing, 0, 0), 8);
}

// Every pixel worked out on its own from its bitmap bit and attribute, for every option and
// phase: the renderer, eight pixels at a time and row by row, gives the same picture.
TEST(RenderScreen, EqualsThePixelByPixelDefinition) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        const ScreenImage screen = testing::make_random_screen(seed);
        for (int options = 0; options < 8; ++options) {
            const bool bw = options & 1;
            const bool inverse = options & 2;
            const bool phase = options & 4;
            Picture picture = render_screen(screen, bw, inverse, phase);
            std::array<std::uint8_t, 256> row{};
            for (int y = 0; y < 192; ++y) {
                render_row(screen, y, bw, inverse, phase, row);
                for (int x = 0; x < 256; ++x) {
                    std::uint8_t attribute =
                        screen[BITMAP_BYTES + static_cast<std::size_t>(y / 8 * 32 + x / 8)];
                    bool set = (screen[bitmap_row_offset(y) + static_cast<std::size_t>(x / 8)] >>
                                (7 - x % 8)) &
                               1;
                    int ink = bw ? 7 : attribute & 7;
                    int paper = bw ? 0 : (attribute >> 3) & 7;
                    int bright = bw || (attribute & 0x40) ? 8 : 0;
                    bool swapped = inverse != (phase && (attribute & 0x80));
                    int expected = (set != swapped ? ink : paper) + bright;
                    ASSERT_EQ(at(picture, x, y), expected) << x << "," << y << " " << options;
                    ASSERT_EQ(row[static_cast<std::size_t>(x)], expected) << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace mirva::screen
