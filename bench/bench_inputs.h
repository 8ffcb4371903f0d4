// The inputs every benchmark works on: the test card, a title screen as games show one, the
// random worst case and the all-zero screen; and, for the fit, a photograph-like picture of 256
// colours. Built in code, the same on every machine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "screen/palette.h"
#include "screen/render.h"
#include "screen/screen_image.h"
#include "support/test_card.h"

namespace mirva::bench {

/// A title screen: a bordered frame of paper, rows of glyph-like bit patterns in a few inks, and
/// a striped band.
inline screen::ScreenImage title_screen() {
    screen::ScreenImage screen{};
    for (int y = 0; y < screen::SCREEN_HEIGHT; ++y) {
        for (int column = 0; column < 32; ++column) {
            std::uint8_t bits = 0;
            int row = y / 8;
            if (row == 0 || row == 23 || column == 0 || column == 31)
                bits = 0xFF;
            else if (row >= 4 && row < 12 && column >= 4 && column < 28)
                bits = static_cast<std::uint8_t>(((column * 37 + row * 11) >> (y % 8)) * 0x15);
            else if (row >= 16 && row < 18)
                bits = (y % 2) ? 0xF0 : 0x0F;
            screen[screen::bitmap_row_offset(y) + static_cast<std::size_t>(column)] = bits;
        }
    }
    for (std::size_t cell = 0; cell < screen::ATTRIBUTE_BYTES; ++cell) {
        std::size_t row = cell / 32;
        std::uint8_t attribute = 0x38 | 0x01;  // White paper, blue ink.
        if (row >= 4 && row < 12)
            attribute = static_cast<std::uint8_t>(0x40 | (1 << 3) | (2 + row % 5));
        else if (row >= 16 && row < 18)
            attribute = 0x16;  // Red paper, yellow ink.
        screen[screen::BITMAP_BYTES + cell] = attribute;
    }
    return screen;
}

struct NamedScreen {
    std::string name;
    screen::ScreenImage screen;
};

/// The screens every screen benchmark runs on.
inline std::vector<NamedScreen> bench_screens() {
    return {{"test_card", testing::make_test_card()},
            {"title", title_screen()},
            {"random", testing::make_random_screen(1)},
            {"all_zero", screen::ScreenImage{}}};
}

/// The 49152 spectrum_palette indices of a screen, flash phase 0.
inline std::vector<std::uint8_t> screen_pixels(const screen::ScreenImage& screen) {
    auto picture = screen::render_screen(screen, false, false, false);
    return {picture.pixels.begin(),
            picture.pixels.begin() + static_cast<std::ptrdiff_t>(screen::SCREEN_PIXELS)};
}

/// The palette a reader fills from a file written by this program: the 16 Spectrum colours,
/// then black.
inline screen::Palette spectrum_file_palette() {
    screen::Palette palette{};
    for (std::size_t index = 0; index < screen::spectrum_palette.size(); ++index)
        palette[index] = screen::spectrum_palette[index];
    return palette;
}

/// A picture as a scanned photograph gives one: smooth gradients over all 256 entries of a
/// palette that spans the colour cube, with a little grain.
inline screen::Picture photo_picture(screen::Palette& palette) {
    for (std::size_t entry = 0; entry < palette.size(); ++entry) {
        // 8 levels of red and green, 4 of blue, each 0..63.
        palette[entry] = {static_cast<std::uint8_t>((entry >> 5) * 9),
                          static_cast<std::uint8_t>(((entry >> 2) & 7) * 9),
                          static_cast<std::uint8_t>((entry & 3) * 21)};
    }
    screen::Picture picture;
    picture.width = screen::SCREEN_WIDTH;
    picture.height = screen::SCREEN_HEIGHT;
    std::uint32_t grain = 12345;
    for (int y = 0; y < screen::SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < screen::SCREEN_WIDTH; ++x) {
            grain = grain * 1103515245u + 12345u;
            int noise = static_cast<int>((grain >> 16) & 1);
            int red = std::min(7, x / 32 + noise);
            int green = std::min(7, y / 24 + noise);
            int blue = ((x + y) / 112) & 3;
            picture.pixels[static_cast<std::size_t>(y * screen::SCREEN_WIDTH + x)] =
                static_cast<std::uint8_t>((red << 5) | (green << 2) | blue);
        }
    }
    return picture;
}

}  // namespace mirva::bench
