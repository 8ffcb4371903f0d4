#include "screen/dither.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "screen/lab.h"
#include "screen/palette.h"
#include "screen/rgb_fit.h"

namespace mirva::screen {

namespace {

// Colours are dithered as the picture stores them, gamma-encoded sRGB 0..255: the error of a
// screen is measured on a blur of those values, and dithering in linear light measured about
// 70% worse on it (9.6 against 16.3 for floyd over the photos measured).

inline constexpr int CELL = 8;
inline constexpr int COLUMNS = SCREEN_WIDTH / CELL;
inline constexpr int ROWS = SCREEN_HEIGHT / CELL;
inline constexpr int BLOCKS_ACROSS = SCREEN_WIDTH / 2;  // blurred_lab_blocks' 2x2 blocks.

// The index of column x of row y in a row-major array width wide (x, y >= 0).
std::size_t index_of(int x, int y, int width) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
}

// Two Spectrum colours of one brightness, first <= second; a cell of one colour is a pair of it
// with itself.
struct Pair {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
};
inline constexpr std::size_t PAIR_COUNT = 72;  // 2 brightnesses x (8 alone + 28 together).

constexpr std::array<Pair, PAIR_COUNT> all_pairs() {
    std::array<Pair, PAIR_COUNT> pairs{};
    std::size_t count = 0;
    for (int bright = 0; bright < 16; bright += 8)
        for (int first = 0; first < 8; ++first)
            for (int second = first; second < 8; ++second)
                pairs[count++] = {static_cast<std::uint8_t>(bright + first),
                                  static_cast<std::uint8_t>(bright + second)};
    return pairs;
}
inline constexpr std::array<Pair, PAIR_COUNT> PAIRS = all_pairs();

// A pair is judged by how near the mixtures of its two colours come to the blurred picture:
// POINTS mixtures evenly from first to second, in CIELAB. All 72 pairs are first judged on the
// means of the cell's four quarters, then the CANDIDATES best on the cell's 16 blocks (judging
// every pair on the blocks takes over twice as long and gave the same error on the photos
// measured).
inline constexpr std::size_t POINTS = 9;
inline constexpr std::size_t CANDIDATES = 8;
// One pair's mixtures, each component in an array of its own so that the distances to all of
// them are worked out side by side.
struct PairMixtures {
    std::array<float, POINTS> lightness{};
    std::array<float, POINTS> green_red{};
    std::array<float, POINTS> blue_yellow{};
};
using Mixtures = std::array<PairMixtures, PAIR_COUNT>;

Colour spectrum_colour(std::uint8_t index) {
    const Rgb& colour = spectrum_palette[index];
    // The 6-bit components shown in 8 bits: 50 is 200 and 63 is 252.
    return {static_cast<float>(colour.red * 4), static_cast<float>(colour.green * 4),
            static_cast<float>(colour.blue * 4)};
}

Mixtures pair_mixtures() {
    Mixtures mixtures{};
    for (std::size_t pair = 0; pair < PAIR_COUNT; ++pair) {
        const Colour a = spectrum_colour(PAIRS[pair].first);
        const Colour b = spectrum_colour(PAIRS[pair].second);
        for (std::size_t point = 0; point < POINTS; ++point) {
            const float part = static_cast<float>(point) / (POINTS - 1);
            Colour mixture{};
            for (std::size_t c = 0; c < 3; ++c)
                mixture[c] = a[c] + part * (b[c] - a[c]);
            const Colour lab = lab_colour(mixture);
            mixtures[pair].lightness[point] = lab[0];
            mixtures[pair].green_red[point] = lab[1];
            mixtures[pair].blue_yellow[point] = lab[2];
        }
    }
    return mixtures;
}

// The sum over colours of the distance to the nearest mixture.
float pair_cost(std::span<const Colour> colours, const PairMixtures& mixtures) {
    float cost = 0;
    for (const Colour& colour : colours) {
        std::array<float, POINTS> distances{};
        for (std::size_t point = 0; point < POINTS; ++point) {
            const float lightness = colour[0] - mixtures.lightness[point];
            const float green_red = colour[1] - mixtures.green_red[point];
            const float blue_yellow = colour[2] - mixtures.blue_yellow[point];
            distances[point] =
                lightness * lightness + green_red * green_red + blue_yellow * blue_yellow;
        }
        cost += std::sqrt(*std::min_element(distances.begin(), distances.end()));
    }
    return cost;
}

// The spectrum_palette index of an 8-bit colour, or 16 when it is none.
std::uint8_t spectrum_index(const std::uint8_t* rgb) {
    for (std::uint8_t index = 0; index < 16; ++index) {
        const Rgb& colour = spectrum_palette[index];
        if (colour.red * 4 == rgb[0] && colour.green * 4 == rgb[1] && colour.blue * 4 == rgb[2])
            return index;  // Black is 0, never 8.
    }
    return 16;
}

// A cell that holds at most two Spectrum colours of one brightness is shown exactly: finds
// that pair, or returns false.
bool exact_pair(const RgbPicture& picture, int column, int row, Pair& pair) {
    std::array<std::uint8_t, 2> found{};
    std::size_t count = 0;
    for (int y = row * CELL; y < row * CELL + CELL; ++y) {
        for (int x = column * CELL; x < column * CELL + CELL; ++x) {
            const std::size_t at = 3 * index_of(x, y, SCREEN_WIDTH);
            const std::uint8_t index = spectrum_index(&picture.rgb[at]);
            if (index == 16)
                return false;
            if (std::find(found.begin(), found.begin() + count, index) != found.begin() + count)
                continue;
            if (count == 2)
                return false;
            found[count++] = index;
        }
    }
    const std::uint8_t low = std::min(found[0], found[count - 1]);
    const std::uint8_t high = std::max(found[0], found[count - 1]);
    if (low == 0 && high >= 8) {
        pair = {8, high};  // Black joins a bright colour as bright black.
        return true;
    }
    if ((low >= 8) != (high >= 8))
        return false;
    pair = {low, high};
    return true;
}

Pair choose_pair(const RgbPicture& picture, const std::vector<Colour>& blocks,
                 const Mixtures& mixtures, int column, int row) {
    Pair exact;
    if (exact_pair(picture, column, row, exact))
        return exact;
    // The cell's 4x4 blocks, and the mean of each quarter of them.
    std::array<Colour, 16> cell{};
    std::array<Colour, 4> quarters{};
    for (std::size_t y = 0; y < 4; ++y) {
        for (std::size_t x = 0; x < 4; ++x) {
            const std::size_t block = (static_cast<std::size_t>(row) * 4 + y) * BLOCKS_ACROSS +
                                      static_cast<std::size_t>(column) * 4 + x;
            cell[y * 4 + x] = blocks[block];
            for (std::size_t c = 0; c < 3; ++c)
                quarters[(y / 2) * 2 + x / 2][c] += blocks[block][c] / 4;
        }
    }
    std::array<std::pair<float, std::size_t>, PAIR_COUNT> coarse{};
    for (std::size_t pair = 0; pair < PAIR_COUNT; ++pair)
        coarse[pair] = {pair_cost(quarters, mixtures[pair]), pair};
    // Equal costs keep the lower pair: the order is total, so the choice is deterministic.
    std::partial_sort(coarse.begin(), coarse.begin() + CANDIDATES, coarse.end());
    std::size_t best = coarse[0].second;
    float best_cost = pair_cost(cell, mixtures[best]);
    for (std::size_t candidate = 1; candidate < CANDIDATES; ++candidate) {
        const std::size_t pair = coarse[candidate].second;
        const float cost = pair_cost(cell, mixtures[pair]);
        if (cost < best_cost || (cost == best_cost && pair < best)) {
            best = pair;
            best_cost = cost;
        }
    }
    return PAIRS[best];
}

// The part 0..1 of the way from a to b of the point of that segment nearest to colour.
float segment_position(const Colour& colour, const Colour& a, const Colour& b) {
    const Colour step{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float length = step[0] * step[0] + step[1] * step[1] + step[2] * step[2];
    if (length == 0)
        return 0;
    const float along =
        (colour[0] - a[0]) * step[0] + (colour[1] - a[1]) * step[1] + (colour[2] - a[2]) * step[2];
    return std::clamp(along / length, 0.0f, 1.0f);
}

// One share of a pixel's error: the part weight of it goes to the pixel dx across and dy down.
struct Share {
    int dx;
    int dy;
    float weight;
};
inline constexpr std::array<Share, 4> FLOYD_STEINBERG{
    {{1, 0, 7 / 16.0f}, {-1, 1, 3 / 16.0f}, {0, 1, 5 / 16.0f}, {1, 1, 1 / 16.0f}}};
// Atkinson's six eighths; the other quarter of the error is dropped, which keeps contrast.
inline constexpr std::array<Share, 6> ATKINSON{{{1, 0, 1 / 8.0f},
                                                {2, 0, 1 / 8.0f},
                                                {-1, 1, 1 / 8.0f},
                                                {0, 1, 1 / 8.0f},
                                                {1, 1, 1 / 8.0f},
                                                {0, 2, 1 / 8.0f}}};

// The 8x8 Bayer matrix: the bits of x xor y and of y, interleaved and reversed.
constexpr std::array<std::uint8_t, 64> bayer_matrix() {
    std::array<std::uint8_t, 64> matrix{};
    for (std::size_t y = 0; y < 8; ++y) {
        for (std::size_t x = 0; x < 8; ++x) {
            std::size_t value = 0;
            for (std::size_t bit = 0; bit < 3; ++bit)
                value = (value << 2) | ((((x ^ y) >> bit) & 1) << 1) | ((y >> bit) & 1);
            matrix[y * 8 + x] = static_cast<std::uint8_t>(value);  // 0..63.
        }
    }
    return matrix;
}
inline constexpr std::array<std::uint8_t, 64> BAYER = bayer_matrix();

Colour picture_colour(const RgbPicture& picture, int x, int y) {
    const std::size_t at = 3 * index_of(x, y, SCREEN_WIDTH);
    return {static_cast<float>(picture.rgb[at]), static_cast<float>(picture.rgb[at + 1]),
            static_cast<float>(picture.rgb[at + 2])};
}

// The error still to be spread, with two pixels of margin left and right and two rows below,
// so that every share lands in it; the shares that land in the margin are dropped.
struct Errors {
    static constexpr int MARGIN = 2;
    static constexpr int STRIDE = SCREEN_WIDTH + 2 * MARGIN;
    std::vector<Colour> values =
        std::vector<Colour>(static_cast<std::size_t>(STRIDE) * (SCREEN_HEIGHT + MARGIN));
    Colour& at(int x, int y) {
        return values[index_of(x + MARGIN, y, STRIDE)];  // x >= -2.
    }
};

// Chooses ink (1) or paper (0) for every pixel: with error diffusion, each pixel takes the
// nearer of its cell's two colours to its own colour plus the error spread to it, and spreads
// the part of the difference that lies along the line between the two colours. The rest is a
// colour the pair cannot make; carried into later cells it would make them choose other pairs
// to pay it back, which shows as blotches.
template <std::size_t SHARES>
void diffuse(const RgbPicture& picture, const std::array<Pair, 768>& pairs,
             const std::array<Share, SHARES>& shares, std::vector<std::uint8_t>& ink) {
    Errors errors;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const Pair pair = pairs[index_of(x / CELL, y / CELL, COLUMNS)];
            const Colour a = spectrum_colour(pair.first);
            const Colour b = spectrum_colour(pair.second);
            Colour wanted = picture_colour(picture, x, y);
            const Colour& error = errors.at(x, y);
            for (std::size_t c = 0; c < 3; ++c)
                wanted[c] = std::clamp(wanted[c] + error[c], 0.0f, 255.0f);
            const float position = segment_position(wanted, a, b);
            const bool second = position > 0.5f;
            ink[index_of(x, y, SCREEN_WIDTH)] = second ? 1 : 0;
            const float left = position - (second ? 1.0f : 0.0f);
            for (const Share& share : shares) {
                Colour& target = errors.at(x + share.dx, y + share.dy);
                for (std::size_t c = 0; c < 3; ++c)
                    target[c] += share.weight * left * (b[c] - a[c]);
            }
        }
    }
}

// With the Bayer matrix, a pixel takes the second colour when its place between the two is
// past the matrix's threshold there; no error travels.
void order(const RgbPicture& picture, const std::array<Pair, 768>& pairs,
           std::vector<std::uint8_t>& ink) {
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const Pair pair = pairs[index_of(x / CELL, y / CELL, COLUMNS)];
            const float position =
                segment_position(picture_colour(picture, x, y), spectrum_colour(pair.first),
                                 spectrum_colour(pair.second));
            // Thresholds (n + 1/2) / 64 lie strictly inside 0..1, so either colour itself stays.
            const float threshold =
                (static_cast<float>(BAYER[index_of(x % 8, y % 8, 8)]) + 0.5f) / 64;
            ink[index_of(x, y, SCREEN_WIDTH)] = position > threshold ? 1 : 0;
        }
    }
}

}  // namespace

ScreenImage dither_to_screen(const RgbPicture& picture, Dither mode) {
    assert(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    assert(picture.rgb.size() == SCREEN_PIXELS * 3);
    if (mode == Dither::none)
        return rgb_picture_to_screen(picture, Options{});
    static const Mixtures mixtures = pair_mixtures();
    const std::vector<Colour> blocks = blurred_lab_blocks(picture);
    std::array<Pair, 768> pairs{};
    for (int row = 0; row < ROWS; ++row)
        for (int column = 0; column < COLUMNS; ++column)
            pairs[index_of(column, row, COLUMNS)] =
                choose_pair(picture, blocks, mixtures, column, row);

    std::vector<std::uint8_t> ink(SCREEN_PIXELS);
    switch (mode) {
        case Dither::floyd:
            diffuse(picture, pairs, FLOYD_STEINBERG, ink);
            break;
        case Dither::atkinson:
            diffuse(picture, pairs, ATKINSON, ink);
            break;
        case Dither::ordered:
            order(picture, pairs, ink);
            break;
        case Dither::none:
            break;
    }

    ScreenImage screen{};
    for (std::size_t cell = 0; cell < pairs.size(); ++cell) {
        // Attribute F B PPP III: the second colour is ink, the first paper.
        const Pair pair = pairs[cell];
        const int bright = pair.first >= 8 ? 0x40 : 0;
        screen[BITMAP_BYTES + cell] =
            static_cast<std::uint8_t>(bright | (pair.first & 7) << 3 | (pair.second & 7));
    }
    // Eight pixels a bitmap byte, the leftmost in bit 7.
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (std::size_t byte = 0; byte < 32; ++byte) {
            std::uint8_t bits = 0;
            for (std::size_t k = 0; k < 8; ++k)
                bits = static_cast<std::uint8_t>(
                    (bits << 1) | ink[static_cast<std::size_t>(y) * SCREEN_WIDTH + byte * 8 + k]);
            screen[bitmap_row_offset(y) + byte] = bits;
        }
    }
    return screen;
}

}  // namespace mirva::screen
