#include "screen/rgb_fit.h"

#include <gtest/gtest.h>

#include <random>

#include "screen/dither.h"
#include "screen/fit.h"
#include "screen/framing.h"
#include "screen/palette_options.h"
#include "screen/rgb_picture.h"

namespace mirva::screen {
namespace {

// A picture of palette indices and its palette, as a GIF or PCX reader gives them, with the
// 8-bit colours of its file: runs of a few colours beside noise of all 256.
struct IndexedPicture {
    Picture picture;
    Palette palette{};
    std::vector<std::uint8_t> file_colours;  // 3 x 256 bytes.
};

IndexedPicture random_indexed(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    IndexedPicture made;
    made.picture.width = width;
    made.picture.height = height;
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
        made.picture.pixels[i] =
            static_cast<std::uint8_t>(i % 97 < 40 ? (i / 8) % 5 : random() % 256);
    }
    for (std::size_t entry = 0; entry < 256; ++entry) {
        for (int c = 0; c < 3; ++c)
            made.file_colours.push_back(static_cast<std::uint8_t>(random() % 256));
        made.palette[entry] = {static_cast<std::uint8_t>(made.file_colours[3 * entry] >> 2),
                               static_cast<std::uint8_t>(made.file_colours[3 * entry + 1] >> 2),
                               static_cast<std::uint8_t>(made.file_colours[3 * entry + 2] >> 2)};
    }
    return made;
}

// The same pixels as a picture without a palette: each index replaced by its file colour.
RgbPicture as_rgb(const IndexedPicture& made) {
    RgbPicture picture{made.picture.width, made.picture.height, {}, {}};
    for (std::size_t i = 0; i < std::size_t(picture.width) * picture.height; ++i) {
        const std::size_t entry = made.picture.pixels[i];
        picture.rgb.insert(picture.rgb.end(), &made.file_colours[3 * entry],
                           &made.file_colours[3 * entry] + 3);
    }
    return picture;
}

TEST(RgbPictureToScreen, EqualsTheFitOfThePictureWithAPaletteUnderEveryOption) {
    for (unsigned seed : {1u, 2u}) {
        const IndexedPicture made = random_indexed(SCREEN_WIDTH, SCREEN_HEIGHT, seed);
        for (Options options : {Options{}, Options{.bw = true}, Options{.inverse = true},
                                Options{.bw = true, .inverse = true}}) {
            SCOPED_TRACE(std::to_string(options.bw) + std::to_string(options.inverse));
            Picture working = made.picture;
            Palette palette = made.palette;
            apply_palette_options(palette, options);
            const ScreenImage expected = picture_to_screen(working, palette);
            EXPECT_EQ(rgb_picture_to_screen(as_rgb(made), options), expected);
        }
    }
}

TEST(DitherToScreen, NoneIsTheFitOfTheColours) {
    const RgbPicture picture = as_rgb(random_indexed(SCREEN_WIDTH, SCREEN_HEIGHT, 3));
    EXPECT_EQ(dither_to_screen(picture, Dither::none), rgb_picture_to_screen(picture, Options{}));
}

TEST(CentreRgbPicture, PlacesThePixelsAsCropToScreenDoes) {
    struct Size {
        int width, height;
    };
    for (Size size :
         std::vector<Size>{{0, 0}, {1, 1}, {255, 191}, {100, 37}, {256, 1}, {3, 192}, {256, 192}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        IndexedPicture made = random_indexed(size.width, size.height, 7);
        RgbPicture widened = widen_picture(made.picture, made.palette);
        RgbPicture centred = centre_rgb_picture(widened);
        Picture cropped = made.picture;
        crop_to_screen(cropped);
        ASSERT_EQ(centred.rgb.size(), 3 * SCREEN_PIXELS);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < SCREEN_PIXELS; ++i) {
            const Rgb& colour = made.palette[cropped.pixels[i]];
            wrong += centred.rgb[3 * i] != widen_component(colour.red) ||
                     centred.rgb[3 * i + 1] != widen_component(colour.green) ||
                     centred.rgb[3 * i + 2] != widen_component(colour.blue);
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(WidenComponent, KeepsTheSixBitsAndReachesWhite) {
    for (std::uint8_t component = 0; component < 64; ++component)
        EXPECT_EQ(widen_component(component) >> 2, component);
    EXPECT_EQ(widen_component(63), 255);
    EXPECT_EQ(widen_component(0), 0);
}

TEST(IndexRgbPicture, KeepsUpTo256ColoursExactlyAndFallsBackToACube) {
    // 255 distinct 6-bit colours and a black margin: 256 entries, every one exact.
    RgbPicture few{255, 1, {}, {}};
    for (int x = 0; x < 255; ++x)
        few.rgb.insert(few.rgb.end(), {static_cast<std::uint8_t>(4 * (x % 64)),
                                       static_cast<std::uint8_t>(4 * (x / 64) + 1), 200});
    Palette palette{};
    std::uint8_t margin = 99;
    Picture indexed = index_rgb_picture(few, palette, margin);
    EXPECT_EQ(palette[margin], (Rgb{0, 0, 0}));
    for (int x = 0; x < 255; ++x) {
        const Rgb& shown = palette[indexed.pixels[std::size_t(x)]];
        EXPECT_EQ(shown,
                  (Rgb{static_cast<std::uint8_t>(x % 64), static_cast<std::uint8_t>(x / 64), 50}));
    }

    // One colour more: the 6 x 7 x 6 cube, each component within half a step of its level.
    few.rgb.insert(few.rgb.end(), {255, 255, 0});
    few.width = 256;
    indexed = index_rgb_picture(few, palette, margin);
    EXPECT_EQ(palette[margin], (Rgb{0, 0, 0}));
    for (int x = 0; x < 256; ++x) {
        const Rgb& shown = palette[indexed.pixels[std::size_t(x)]];
        const std::uint8_t* colour = &few.rgb[3 * std::size_t(x)];
        EXPECT_LE(std::abs(shown.red - colour[0] / 4), 7);    // 63 / 5 / 2 + rounding.
        EXPECT_LE(std::abs(shown.green - colour[1] / 4), 6);  // 63 / 6 / 2 + rounding.
        EXPECT_LE(std::abs(shown.blue - colour[2] / 4), 7);
    }
}

TEST(ApplyRgbOptions, GreysThenInvertsEveryPixelAndTheMargin) {
    RgbPicture picture{2, 1, {10, 20, 60, 255, 0, 0}, {30, 0, 0}};
    apply_rgb_options(picture, Options{.bw = true, .inverse = true});
    EXPECT_EQ(picture.rgb, (std::vector<std::uint8_t>{225, 225, 225, 170, 170, 170}));
    EXPECT_EQ(picture.margin, (std::array<std::uint8_t, 3>{245, 245, 245}));
}

}  // namespace
}  // namespace mirva::screen
