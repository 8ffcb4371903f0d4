#include "screen/area_scaler.h"

#include <gtest/gtest.h>

#include <random>

namespace mirva::screen {
namespace {

// The area average by its definition: for each result pixel, every source pixel weighted by the
// area of their overlap, in units where the source is width_out x height_out per pixel.
RgbPicture reference_scale(const RgbPicture& source, PictureSize size) {
    auto overlap = [](long result, long result_length, long source_index, long source_length) {
        long low = std::max(result * source_length, source_index * result_length);
        long high = std::min((result + 1) * source_length, (source_index + 1) * result_length);
        return std::max(0L, high - low);
    };
    RgbPicture result{size.width, size.height, {}, {}};
    const long area = long{source.width} * source.height;
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                long sum = 0;
                for (int sy = 0; sy < source.height; ++sy) {
                    for (int sx = 0; sx < source.width; ++sx) {
                        sum += overlap(x, size.width, sx, source.width) *
                               overlap(y, size.height, sy, source.height) *
                               source.rgb[3 * (std::size_t(sy) * source.width + sx) + c];
                    }
                }
                result.rgb.push_back(static_cast<std::uint8_t>((sum + area / 2) / area));
            }
        }
    }
    return result;
}

RgbPicture noise(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    RgbPicture picture{width, height, {}, {}};
    picture.rgb.resize(3 * std::size_t(width) * height);
    for (auto& byte : picture.rgb)
        byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 255 : random() % 256);
    return picture;
}

std::span<const std::uint8_t> row_of(const RgbPicture& picture, int y) {
    const std::size_t row_bytes = 3 * std::size_t(picture.width);
    return std::span(picture.rgb).subspan(std::size_t(y) * row_bytes, row_bytes);
}

TEST(FittedSize, KeepsWhatFitsAndFillsOneSideOfTheScreen) {
    struct Case {
        int width, height;
        PictureSize expected;
    };
    for (const Case& c : std::vector<Case>{
             {256, 192, {256, 192}},
             {1, 1, {1, 1}},
             {256, 10, {256, 10}},
             {257, 192, {256, 191}},    // 192 x 256 / 257 = 191.3
             {4000, 3000, {256, 192}},  // The screen's proportions.
             {300, 100, {256, 85}},     // 100 x 256 / 300 = 85.3
             {601, 203, {256, 86}},     // 203 x 256 / 601 = 86.47
             {50, 700, {14, 192}},      // 50 x 192 / 700 = 13.7
             {16384, 1, {256, 1}},      // Never below one pixel.
             {1, 16384, {1, 192}},
             {16384, 16384, {192, 192}},
             {1000, 750, {256, 192}},
             {512, 385, {255, 192}},  // 512 x 192 / 385 = 255.3
         }) {
        PictureSize size = fitted_size(c.width, c.height);
        EXPECT_EQ(size, c.expected) << c.width << "x" << c.height;
    }
}

TEST(AreaScaler, EqualsTheAreaAverageByDefinition) {
    struct Case {
        int width, height;
        PictureSize size;
    };
    unsigned seed = 1;
    for (const Case& c : std::vector<Case>{
             {7, 5, {3, 2}},      // Fractional shares both ways.
             {9, 9, {3, 3}},      // Whole blocks.
             {10, 3, {10, 1}},    // One axis only.
             {13, 11, {12, 10}},  // Nearly no reduction: most pixels split.
             {5, 4, {5, 4}},      // No scaling at all: the pixels themselves.
             {64, 1, {1, 1}},
         }) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        RgbPicture source = noise(c.width, c.height, seed++);
        AreaScaler scaler(c.width, c.height, c.size);
        for (int y = 0; y < c.height; ++y)
            scaler.add_row(y, row_of(source, y));
        RgbPicture scaled = scaler.finish({1, 2, 3});
        EXPECT_EQ(scaled.width, c.size.width);
        EXPECT_EQ(scaled.height, c.size.height);
        EXPECT_EQ(scaled.rgb, reference_scale(source, c.size).rgb);
        EXPECT_EQ(scaled.margin, (std::array<std::uint8_t, 3>{1, 2, 3}));
    }
}

TEST(AreaScaler, TakesRowsInAnyOrderAndInInterlacedPieces) {
    RgbPicture source = noise(23, 17, 99);
    const PictureSize size{10, 7};
    AreaScaler whole(23, 17, size);
    for (int y = 0; y < 17; ++y)
        whole.add_row(y, row_of(source, y));
    // Each row in two pieces, the last rows first: odd columns, then even ones.
    AreaScaler pieces(23, 17, size);
    for (int y = 16; y >= 0; --y) {
        pieces.add_row(y, row_of(source, y), 1, 2);
        pieces.add_row(y, row_of(source, y), 0, 2);
    }
    EXPECT_EQ(pieces.finish({}).rgb, whole.finish({}).rgb);
}

}  // namespace
}  // namespace mirva::screen
