#include "screen/dither.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "screen/fit.h"
#include "screen/render.h"
#include "support/test_card.h"

namespace mirva::screen {
namespace {

constexpr Dither MODES[] = {Dither::floyd, Dither::atkinson, Dither::ordered};

const char* name(Dither mode) {
    return mode == Dither::floyd ? "floyd" : mode == Dither::atkinson ? "atkinson" : "ordered";
}

RgbPicture picture_of(const std::function<Rgb(int x, int y)>& colour_at) {
    RgbPicture picture{SCREEN_WIDTH, SCREEN_HEIGHT, {}};
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const Rgb colour = colour_at(x, y);
            picture.rgb.insert(picture.rgb.end(), {colour.red, colour.green, colour.blue});
        }
    }
    return picture;
}

// The screen as a picture in 8-bit Spectrum colours, as a Spectrum shows it.
RgbPicture shown(const ScreenImage& screen) {
    const Picture rendered = render_screen(screen, false, false, false);
    return picture_of([&](int x, int y) {
        const Rgb& colour =
            spectrum_palette[rendered.pixels[static_cast<std::size_t>(y * SCREEN_WIDTH + x)]];
        return Rgb{static_cast<std::uint8_t>(colour.red << 2),
                   static_cast<std::uint8_t>(colour.green << 2),
                   static_cast<std::uint8_t>(colour.blue << 2)};
    });
}

std::size_t differing_bytes(const RgbPicture& a, const RgbPicture& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        count += a.rgb[i] != b.rgb[i] ? 1 : 0;
    return count;
}

// The mean over the picture of each component.
std::array<double, 3> mean_colour(const RgbPicture& picture) {
    std::array<double, 3> sums{};
    for (std::size_t i = 0; i < picture.rgb.size(); ++i)
        sums[i % 3] += picture.rgb[i];
    for (double& sum : sums)
        sum /= static_cast<double>(SCREEN_PIXELS);
    return sums;
}

// The mean over every 4x4 block and component of the difference of the blocks' means: how far
// apart two pictures look once the eye merges neighbouring pixels.
double block_error(const RgbPicture& a, const RgbPicture& b) {
    double total = 0;
    for (int top = 0; top < SCREEN_HEIGHT; top += 4) {
        for (int left = 0; left < SCREEN_WIDTH; left += 4) {
            for (std::size_t c = 0; c < 3; ++c) {
                double difference = 0;
                for (int y = top; y < top + 4; ++y)
                    for (int x = left; x < left + 4; ++x) {
                        const std::size_t at =
                            3 * static_cast<std::size_t>(y * SCREEN_WIDTH + x) + c;
                        difference += a.rgb[at] - b.rgb[at];
                    }
                total += std::abs(difference) / 16;
            }
        }
    }
    return total / (static_cast<double>(SCREEN_PIXELS) / 16 * 3);
}

TEST(DitherToScreen, GivesTheSameScreenForTheSamePicture) {
    const RgbPicture picture = picture_of([](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>((x * y) % 251),
                   static_cast<std::uint8_t>(y)};
    });
    for (Dither mode : MODES)
        EXPECT_EQ(dither_to_screen(picture, mode), dither_to_screen(picture, mode)) << name(mode);
}

TEST(DitherToScreen, ShowsAPictureAScreenCanHoldExactly) {
    // Screens whose every cell has two colours of one brightness: the test card, and random
    // bytes (bright black beside bright colours, flashing cells shown as stored).
    const std::vector<ScreenImage> screens = {testing::make_test_card(),
                                              testing::make_random_screen(7),
                                              testing::make_random_screen(2024)};
    for (const ScreenImage& screen : screens) {
        const RgbPicture picture = shown(screen);
        for (Dither mode : MODES)
            EXPECT_EQ(differing_bytes(shown(dither_to_screen(picture, mode)), picture), 0u)
                << name(mode);
    }
}

TEST(DitherToScreen, FollowsASmoothGradientCloserThanTheFit) {
    // Grey from black at the left to white at the right, in 256 shades: the fit makes bands of
    // black, white and bright white; dithering mixes them into the shades between.
    const RgbPicture picture = picture_of([](int x, int) {
        const auto grey = static_cast<std::uint8_t>(x);
        return Rgb{grey, grey, grey};
    });
    Palette palette{};
    Picture indexed;
    indexed.width = SCREEN_WIDTH;
    indexed.height = SCREEN_HEIGHT;
    for (std::size_t entry = 0; entry < palette.size(); ++entry) {
        const auto component = static_cast<std::uint8_t>(entry >> 2);
        palette[entry] = {component, component, component};
    }
    for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
        indexed.pixels[i] = static_cast<std::uint8_t>(i % SCREEN_WIDTH);
    const double fit_error = block_error(shown(picture_to_screen(indexed, palette)), picture);
    for (Dither mode : MODES) {
        const double error = block_error(shown(dither_to_screen(picture, mode)), picture);
        EXPECT_LT(error, fit_error / 2) << name(mode);
    }
}

TEST(DitherToScreen, CarriesTheErrorFromCellToCell) {
    // Red with 61 of green is 0.305 of the way from red to yellow, 19.52 pixels of yellow in a
    // cell of 64. Without error carried between cells every cell would take 19 or 20, and the
    // green of the whole would be 59.4 or 62.5 instead of 61. Floyd-Steinberg loses only what
    // falls off the right and bottom edges, under 0.5 of a step from each edge pixel: a mean
    // off by at most 448 x 0.5 x 200 / 49152 = 0.91 of green. The Bayer matrix carries nothing
    // and puts yellow in every cell where the threshold (n + 0.5) / 64 is below 0.305, that
    // is for n = 0..19: 20 / 64 x 200 = 62.5.
    const RgbPicture picture = picture_of([](int, int) { return Rgb{200, 61, 0}; });
    struct Case {
        Dither mode;
        double green;
        double tolerance;
    };
    for (const Case& test : {Case{Dither::floyd, 61.0, 0.91}, Case{Dither::ordered, 62.5, 1e-9}}) {
        const std::array<double, 3> mean = mean_colour(shown(dither_to_screen(picture, test.mode)));
        EXPECT_NEAR(mean[0], 200.0, 1e-9) << name(test.mode);
        EXPECT_NEAR(mean[1], test.green, test.tolerance) << name(test.mode);
        EXPECT_NEAR(mean[2], 0.0, 1e-9) << name(test.mode);
    }
}

}  // namespace
}  // namespace mirva::screen
