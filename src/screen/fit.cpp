#include "screen/fit.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "base/failure.h"
namespace mirva::screen {

namespace {

// Above every distance between colours of 0..63 components (3 x 63 x 63 = 11907).
inline constexpr unsigned FARTHEST = 20000;

inline constexpr std::uint8_t BASE_COLOUR = 0x07;  // Spectrum colour 0..7 of an index.
inline constexpr std::uint8_t BRIGHT = 0x08;       // Bright bit of an index.

std::size_t pixel_offset(int column, int row, int x, int y) {
    // Columns 0..31, rows 0..23, x and y 0..7: never negative.
    auto at = [](int value) { return static_cast<std::size_t>(value); };
    return (at(row) * 8 + at(y)) * SCREEN_WIDTH + at(column) * 8 + at(x);
}

// Reciprocals that turn the running mean's division by n + 1 (1..64) into a multiplication.
// With m = ceil(2^18 / d) and e = m d - 2^18 < d, floor(v m / 2^18) = floor(v / d) whenever
// v e < 2^18; here v <= 63 x 63 + 63 = 4032 and e <= 63, so v e <= 254016 < 2^18 = 262144.
inline constexpr unsigned MEAN_SHIFT = 18;
constexpr std::array<std::uint32_t, 65> mean_reciprocals() {
    std::array<std::uint32_t, 65> reciprocals{};
    for (std::uint32_t divisor = 1; divisor < reciprocals.size(); ++divisor)
        reciprocals[divisor] = ((1u << MEAN_SHIFT) + divisor - 1) / divisor;
    return reciprocals;
}
inline constexpr std::array<std::uint32_t, 65> MEAN_RECIPROCALS = mean_reciprocals();

void join(Rgb& centroid, unsigned& members, const Rgb& colour) {
    centroid.red = running_mean(centroid.red, members, colour.red);
    centroid.green = running_mean(centroid.green, members, colour.green);
    centroid.blue = running_mean(centroid.blue, members, colour.blue);
    ++members;
}

// The attribute of a cell from its ink and paper: black paper takes its bright bit from a
// coloured ink, so bright ink on black stays bright.
std::uint8_t cell_attribute(std::uint8_t ink, std::uint8_t paper) {
    const int ink_base = ink & BASE_COLOUR;
    const int paper_base = paper & BASE_COLOUR;
    std::uint8_t bright = (paper_base == 0 && ink_base != 0) ? ink & BRIGHT : paper & BRIGHT;
    return static_cast<std::uint8_t>(ink_base + 8 * paper_base + (bright ? 0x40 : 0));
}

}  // namespace

std::uint8_t running_mean(std::uint8_t component, unsigned members, std::uint8_t joining) {
    assert(component < 64 && joining < 64 && members < 64);
    return static_cast<std::uint8_t>(
        ((component * members + joining) * MEAN_RECIPROCALS[members + 1]) >> MEAN_SHIFT);
}

unsigned colour_distance(const Rgb& a, const Rgb& b) {
    auto square = [](int difference) { return static_cast<unsigned>(difference * difference); };
    return square(a.red - b.red) + square(a.green - b.green) + square(a.blue - b.blue);
}

std::uint8_t nearest_spectrum_colour(const Rgb& colour) {
    unsigned best = FARTHEST;
    std::uint8_t result = 0;
    for (std::size_t index = 0; index < spectrum_palette.size(); ++index) {
        unsigned distance = colour_distance(colour, spectrum_palette[index]);
        if (distance < best) {  // A tie keeps the lower index.
            best = distance;
            result = static_cast<std::uint8_t>(index);  // 0..15.
        }
    }
    return result;
}

std::array<std::uint8_t, 256> nearest_spectrum_colours(const Palette& palette) {
    std::array<std::uint8_t, 256> nearest{};
    for (std::size_t entry = 0; entry < palette.size(); ++entry)
        nearest[entry] = nearest_spectrum_colour(palette[entry]);
    return nearest;
}

void snap_to_spectrum(Picture& picture, const Palette& picture_palette) {
    base::require(picture.pixels.size() >= SCREEN_PIXELS);
    // The nearest colour depends on the palette entry alone, so 256 searches serve every pixel.
    const auto nearest = nearest_spectrum_colours(picture_palette);
    for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
        picture.pixels[i] = nearest[picture.pixels[i]];
}

void fit_cell(Picture& picture, ScreenImage& screen, int column, int row) {
    base::require(column >= 0 && column < 32 && row >= 0 && row < 24);
    base::require(picture.pixels.size() >= SCREEN_PIXELS);
    const std::size_t cell =
        std::size_t{32} * static_cast<std::size_t>(row) + static_cast<std::size_t>(column);

    // A cell of one colour, as most cells of most pictures are: both seeds are that colour, every
    // pixel is as near the one centroid as the other and joins the paper, whose mean stays put;
    // ink and paper come out the same and every pixel is paper.
    const std::uint8_t first = picture.pixels[pixel_offset(column, row, 0, 0)];
    bool uniform = true;
    bool in_range = true;  // Every pixel a spectrum_palette index, as the caller promises.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t pixel = picture.pixels[pixel_offset(column, row, x, y)];
            uniform &= pixel == first;
            in_range &= pixel < spectrum_palette.size();
        }
    }
    base::require(in_range);
    if (uniform) {
        const std::uint8_t colour = nearest_spectrum_colour(spectrum_palette[first]);
        for (int y = 0; y < 8; ++y)
            std::fill_n(&picture.pixels[pixel_offset(column, row, 0, y)], 8, std::uint8_t{0});
        screen[BITMAP_BYTES + cell] = cell_attribute(colour, colour);
        return;
    }
    // Every pass visits the cell's pixels line by line, left to right; the ties depend on it.

    // The last pixel of the highest base colour seeds the ink, the last of the lowest the
    // paper; each keeps that pixel's bright bit.
    std::uint8_t high = 0;
    std::uint8_t low = 15;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            std::uint8_t index = picture.pixels[pixel_offset(column, row, x, y)];
            if ((index & BASE_COLOUR) >= (high & BASE_COLOUR))
                high = index;
            if ((index & BASE_COLOUR) <= (low & BASE_COLOUR))
                low = index;
        }
    }

    // Two-means in one pass: each pixel joins the nearer centroid (the paper on a tie), which
    // moves to the truncated running mean of its members.
    Rgb ink_centroid = spectrum_palette[high];
    Rgb paper_centroid = spectrum_palette[low];
    unsigned ink_members = 0;
    unsigned paper_members = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const Rgb& colour = spectrum_palette[picture.pixels[pixel_offset(column, row, x, y)]];
            if (colour_distance(ink_centroid, colour) < colour_distance(paper_centroid, colour))
                join(ink_centroid, ink_members, colour);
            else
                join(paper_centroid, paper_members, colour);
        }
    }
    const std::uint8_t ink = nearest_spectrum_colour(ink_centroid);
    const std::uint8_t paper = nearest_spectrum_colour(paper_centroid);
    const int ink_base = ink & BASE_COLOUR;
    const int paper_base = paper & BASE_COLOUR;

    // A pixel is ink when its colour number is strictly nearer the ink's than the paper's.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            auto& pixel = picture.pixels[pixel_offset(column, row, x, y)];
            int base = pixel & BASE_COLOUR;
            pixel = std::abs(base - ink_base) < std::abs(base - paper_base) ? 1 : 0;
        }
    }

    screen[BITMAP_BYTES + cell] = cell_attribute(ink, paper);
}

ScreenImage picture_to_screen(Picture& picture, const Palette& picture_palette) {
    base::require(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    snap_to_spectrum(picture, picture_palette);
    return spectrum_picture_to_screen(picture);
}

ScreenImage spectrum_picture_to_screen(Picture& picture) {
    base::require(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    ScreenImage screen{};
    for (int row = 0; row < 24; ++row)
        for (int column = 0; column < 32; ++column)
            fit_cell(picture, screen, column, row);

    // Pack eight pixels of 0 or 1 into each bitmap byte, the leftmost in bit 7.
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (std::size_t byte = 0; byte < 32; ++byte) {
            std::uint8_t bits = 0;
            for (std::size_t k = 0; k < 8; ++k) {
                std::size_t pixel = static_cast<std::size_t>(y) * SCREEN_WIDTH + byte * 8 + k;
                bits = static_cast<std::uint8_t>((bits << 1) | picture.pixels[pixel]);
            }
            screen[bitmap_row_offset(y) + byte] = bits;
        }
    }
    return screen;
}

}  // namespace mirva::screen
