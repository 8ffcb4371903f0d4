#include "display/terminal_layout.h"

#include <gtest/gtest.h>

namespace mirva::display {
namespace {

TEST(TerminalLayout, LargestRectangleOfSquarePixelsCentred) {
    struct Case {
        TerminalSize size;
        TerminalLayout expected;
    };
    // Cells of unknown size count as 8x16 pixels: 320:200 is then 80 columns to 25 rows.
    const Case cases[] = {
        {{80, 25, 0, 0}, {0, 0, 80, 25}},
        {{320, 100, 0, 0}, {0, 0, 320, 100}},
        // 24 rows hold 76.8 columns: 77, centred in 80.
        {{80, 24, 0, 0}, {1, 0, 77, 24}},
        // 200 columns want 62.5 rows: 63, centred in 100.
        {{200, 100, 0, 0}, {0, 18, 200, 63}},
        {{100, 25, 0, 0}, {10, 0, 80, 25}},
        // Cells the terminal measures: 10x20 is still 1:2.
        {{80, 25, 10, 20}, {0, 0, 80, 25}},
        // Square cells: 100x100 cells hold 100x62.5 of them.
        {{100, 100, 10, 10}, {0, 18, 100, 63}},
        // Cells three times as high as wide: 60 rows want 60*3*320/200 = 288 columns.
        {{300, 60, 5, 15}, {6, 0, 288, 60}},
        // A terminal that gives no size is a VT100's 80x24; a tiny one still gets a cell.
        {{0, 0, 0, 0}, {1, 0, 77, 24}},
        {{80, 0, 0, 0}, {1, 0, 77, 24}},
        {{1, 1, 0, 0}, {0, 0, 1, 1}},
        // Only one of the two pixel sizes: both are assumed.
        {{80, 25, 10, 0}, {0, 0, 80, 25}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(::testing::Message()
                     << test.size.columns << "x" << test.size.rows << " cells of "
                     << test.size.cell_width << "x" << test.size.cell_height);
        EXPECT_EQ(terminal_layout(test.size), test.expected);
    }
}

TEST(ChooseTerminalMode, BestTheTerminalShows) {
    struct Case {
        TerminalAbilities abilities;
        TerminalMode expected;
    };
    const Case cases[] = {
        {{true, true, true, true, true}, TerminalMode::kitty},
        {{false, true, true, true, true}, TerminalMode::iterm2},
        {{false, false, true, true, true}, TerminalMode::sixels},
        {{false, false, true, false, false}, TerminalMode::sixels},
        {{false, false, false, true, true}, TerminalMode::truecolour},
        {{false, false, false, false, true}, TerminalMode::colours_256},
        {{false, false, false, false, false}, TerminalMode::colours_16},
    };
    for (const Case& test : cases)
        EXPECT_EQ(choose_terminal_mode(test.abilities), test.expected);
    EXPECT_TRUE(draws_pixels(TerminalMode::sixels));
    EXPECT_FALSE(draws_pixels(TerminalMode::truecolour));
}

// A picture of width x height whose pixel (x, y) is (x, y, 0, 255).
std::vector<std::uint8_t> coordinates(int width, int height) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto at = static_cast<std::size_t>(y * width + x) * 4;
            rgba[at] = static_cast<std::uint8_t>(x);
            rgba[at + 1] = static_cast<std::uint8_t>(y);
            rgba[at + 3] = 255;
        }
    }
    return rgba;
}

// The source column and row each target pixel took, as "x,y" per pixel, row by row.
std::string sampled(const std::vector<std::uint8_t>& rgba) {
    std::string text;
    for (std::size_t offset = 0; offset < rgba.size(); offset += 4)
        text += std::to_string(rgba[offset]) + "," + std::to_string(rgba[offset + 1]) + " ";
    return text;
}

TEST(ScaleNearest, EachPixelTakesTheSourcePixelUnderItsCentre) {
    // Doubling repeats every pixel; halving takes the second of each pair (centres 1, 3).
    EXPECT_EQ(sampled(scale_nearest(coordinates(2, 1), 2, 1, 4, 2)),
              "0,0 0,0 1,0 1,0 0,0 0,0 1,0 1,0 ");
    EXPECT_EQ(sampled(scale_nearest(coordinates(4, 2), 4, 2, 2, 1)), "1,1 3,1 ");
    // 3 to 5: centres 0.3, 0.9, 1.5, 2.1, 2.7 of the source.
    EXPECT_EQ(sampled(scale_nearest(coordinates(3, 1), 3, 1, 5, 1)), "0,0 0,0 1,0 2,0 2,0 ");
    // The same size is the same picture.
    auto picture = coordinates(5, 3);
    EXPECT_EQ(scale_nearest(picture, 5, 3, 5, 3), picture);
    // The 320x200 frame into 80 cells of 8 pixels: four target pixels per source column.
    auto wide = scale_nearest(coordinates(320, 200), 320, 200, 640, 200);
    EXPECT_EQ(wide.size(), 640u * 200 * 4);
    EXPECT_EQ(wide[(10 * 640 + 639) * 4], 319 & 0xFF);
    EXPECT_EQ(wide[(10 * 640 + 639) * 4 + 1], 10);
}

}  // namespace
}  // namespace mirva::display
