#include "screen/framing.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/expect_failure.h"

namespace mirva::screen {
namespace {

constexpr std::uint8_t BORDER = 0xEE;

// Frames a picture whose pixel (x, y) holds (x + y) % 200 and checks every byte of the frame.
void check_placement(int width, int height, int top, int left) {
    std::vector<std::uint8_t> frame(64000, 0xAB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>((x + y) % 200);
    frame_picture(frame, width, height, BORDER);
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 320; ++column) {
            int x = column - left;
            int y = row - top;
            bool inside = x >= 0 && x < width && y >= 0 && y < height;
            auto expected = inside ? static_cast<std::uint8_t>((x + y) % 200) : BORDER;
            ASSERT_EQ(frame[static_cast<std::size_t>(row * 320 + column)], expected)
                << width << "x" << height << " at row " << row << " column " << column;
        }
    }
}

TEST(FramePicture, CentresWithOddMarginsTopAndRight) {
    check_placement(256, 192, 4, 32);
    check_placement(255, 191, 5, 32);
    check_placement(256, 1, 100, 32);
    check_placement(1, 1, 100, 159);
    check_placement(100, 50, 75, 110);
    check_placement(320, 200, 0, 0);
    check_placement(319, 199, 1, 0);
}

TEST(FramePicture, EmptyPictureFillsTheWholeFrame) {
    for (auto [width, height] : {std::pair{0, 0}, {0, 192}, {256, 0}}) {
        std::vector<std::uint8_t> frame(64000, 1);
        frame_picture(frame, width, height, 9);
        EXPECT_EQ(std::count(frame.begin(), frame.end(), 9), 64000);
    }
}

// Sizes out of range would write past the frame; they are refused on entry in every build.
TEST(FramePicture, RefusesBuffersAndSizesOutOfRange) {
    std::vector<std::uint8_t> frame(64000);
    for (auto [width, height] : {std::pair{321, 1}, {1, 201}, {-1, 5}, {5, -1}})
        EXPECT_FAILURE(frame_picture(frame, width, height, 0), base::MSG_INTERNAL);
    std::vector<std::uint8_t> short_frame(63999);
    EXPECT_FAILURE(frame_picture(short_frame, 10, 10, 0), base::MSG_INTERNAL);
    Picture wide;
    wide.width = 257;
    wide.height = 10;
    EXPECT_FAILURE(crop_to_screen(wide), base::MSG_INTERNAL);
}

}  // namespace
}  // namespace mirva::screen
