#include "screen/framing.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "base/failure.h"

namespace mirva::screen {

void frame_picture(std::span<std::uint8_t> frame, int width, int height,
                   std::uint8_t border_colour) {
    constexpr int W = FRAME_WIDTH;
    constexpr int H = FRAME_HEIGHT;
    base::require(frame.size() == FRAME_BYTES);
    base::require(width >= 0 && width <= W && height >= 0 && height <= H);
    if (width == 0 || height == 0) {
        std::fill(frame.begin(), frame.end(), border_colour);
        return;
    }
    // An odd height leaves its extra margin row at the top, an odd width its extra column at
    // the right.
    const int top = (H - (height & ~1)) / 2;
    const int left = (W - width) / 2;
    const auto row_width = static_cast<std::size_t>(width);

    // Rows move from the last one up: every destination lies at or after its source, so no
    // byte is overwritten before it has moved.
    for (int y = height - 1; y >= 0; --y) {
        auto from = static_cast<std::size_t>(y) * row_width;
        auto to = static_cast<std::size_t>(top + y) * W + static_cast<std::size_t>(left);
        std::memmove(&frame[to], &frame[from], row_width);
    }
    auto fill = [&](int first, int count) {
        std::fill_n(frame.begin() + first, count, border_colour);
    };
    fill(0, top * W);
    fill((top + height) * W, (H - top - height) * W);
    for (int y = top; y < top + height; ++y) {
        fill(y * W, left);
        fill(y * W + left + width, W - left - width);
    }
}

void crop_to_screen(Picture& picture) {
    base::require(picture.width >= 0 && picture.width <= SCREEN_WIDTH && picture.height >= 0 &&
                  picture.height <= SCREEN_HEIGHT);
    if (picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT)
        return;
    // A picture reader never sets a border, so the margins take palette index 0.
    frame_picture(picture.pixels, picture.width, picture.height, 0);
    // The 256x192 window at row 4, column 32 of the frame moves to the start, row by row; every
    // byte is read before it can be overwritten.
    constexpr std::size_t window = 4 * FRAME_WIDTH + 32;
    for (std::size_t y = 0; y < SCREEN_HEIGHT; ++y) {
        std::memmove(&picture.pixels[y * SCREEN_WIDTH], &picture.pixels[y * FRAME_WIDTH + window],
                     SCREEN_WIDTH);
    }
    picture.width = SCREEN_WIDTH;
    picture.height = SCREEN_HEIGHT;
}

}  // namespace mirva::screen
