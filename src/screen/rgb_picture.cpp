#include "screen/rgb_picture.h"

#include <algorithm>
#include <cassert>

#include "screen/area_scaler.h"

namespace mirva::screen {

namespace {

std::array<std::uint8_t, 3> widen_colour(const Rgb& colour) {
    return {widen_component(colour.red), widen_component(colour.green),
            widen_component(colour.blue)};
}

// A colour's 6-bit components packed in 18 bits: red, green, blue from the top.
std::size_t colour_key(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::size_t{red} >> 2) << 12 | (std::size_t{green} >> 2) << 6 | (blue >> 2);
}

// The levels of the display's colour cube when a picture holds more than 256 colours.
inline constexpr std::array<unsigned, 3> CUBE_LEVELS{6, 7, 6};

unsigned cube_level(std::uint8_t component, unsigned levels) {
    return (component * (levels - 1) + 127) / 255;
}

std::uint8_t cube_index(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const unsigned index =
        (cube_level(red, CUBE_LEVELS[0]) * CUBE_LEVELS[1] + cube_level(green, CUBE_LEVELS[1])) *
            CUBE_LEVELS[2] +
        cube_level(blue, CUBE_LEVELS[2]);
    return static_cast<std::uint8_t>(index);  // At most 6 x 7 x 6 - 1 = 251.
}

Palette cube_palette() {
    Palette palette{};
    auto component = [](unsigned level, unsigned levels) {
        return static_cast<std::uint8_t>((level * 63 + (levels - 1) / 2) / (levels - 1));
    };
    for (unsigned r = 0; r < CUBE_LEVELS[0]; ++r) {
        for (unsigned g = 0; g < CUBE_LEVELS[1]; ++g) {
            for (unsigned b = 0; b < CUBE_LEVELS[2]; ++b) {
                palette[(r * CUBE_LEVELS[1] + g) * CUBE_LEVELS[2] + b] = {
                    component(r, CUBE_LEVELS[0]), component(g, CUBE_LEVELS[1]),
                    component(b, CUBE_LEVELS[2])};
            }
        }
    }
    return palette;
}

}  // namespace

RgbPicture widen_picture(const Picture& picture, const Palette& picture_palette) {
    const auto margin = widen_colour(picture_palette[0]);
    if (picture.width == 0 || picture.height == 0)
        return {0, 0, {}, margin};
    assert(within_limit(static_cast<std::uint64_t>(picture.width),
                        static_cast<std::uint64_t>(picture.height), RESIZE_LIMIT));
    const auto width = static_cast<std::size_t>(picture.width);
    AreaScaler scaler(picture.width, picture.height, fitted_size(picture.width, picture.height));
    std::vector<std::uint8_t> row(3 * width);
    for (int y = 0; y < picture.height; ++y) {
        const std::size_t start = static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) {
            const auto colour = widen_colour(picture_palette[picture.pixels[start + x]]);
            std::copy(colour.begin(), colour.end(), &row[3 * x]);
        }
        scaler.add_row(y, row);
    }
    return scaler.finish(margin);
}

RgbPicture centre_rgb_picture(RgbPicture picture) {
    assert(picture.width >= 0 && picture.width <= SCREEN_WIDTH);
    assert(picture.height >= 0 && picture.height <= SCREEN_HEIGHT);
    if (picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT)
        return picture;
    RgbPicture result{SCREEN_WIDTH, SCREEN_HEIGHT, {}, picture.margin};
    result.rgb.resize(3 * SCREEN_PIXELS);
    for (std::size_t at = 0; at < result.rgb.size(); ++at)
        result.rgb[at] = picture.margin[at % 3];
    if (picture.width == 0 || picture.height == 0)
        return result;
    // The placement of crop_to_screen: an odd height's extra margin row at the top, an odd
    // width's extra column at the right.
    const auto top = static_cast<std::size_t>((SCREEN_HEIGHT - (picture.height & ~1)) / 2);
    const auto left = static_cast<std::size_t>((SCREEN_WIDTH - picture.width) / 2);
    const std::size_t row_bytes = 3 * static_cast<std::size_t>(picture.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        std::copy_n(&picture.rgb[y * row_bytes], row_bytes,
                    &result.rgb[3 * ((top + y) * SCREEN_WIDTH + left)]);
    }
    return result;
}

void apply_rgb_options(RgbPicture& picture, const Options& options) {
    auto apply = [&](std::uint8_t* colour) {
        if (options.bw) {
            auto grey = static_cast<std::uint8_t>((colour[0] + colour[1] + colour[2]) / 3);
            std::fill_n(colour, 3, grey);
        }
        if (options.inverse) {
            for (int c = 0; c < 3; ++c)
                colour[c] = static_cast<std::uint8_t>(255 - colour[c]);
        }
    };
    if (!options.bw && !options.inverse)
        return;
    for (std::size_t at = 0; at + 3 <= picture.rgb.size(); at += 3)
        apply(&picture.rgb[at]);
    apply(picture.margin.data());
}

Picture index_rgb_picture(const RgbPicture& picture, Palette& picture_palette,
                          std::uint8_t& margin_index) {
    assert(picture.width >= 0 && picture.width <= SCREEN_WIDTH);
    assert(picture.height >= 0 && picture.height <= SCREEN_HEIGHT);
    Picture result;
    result.width = picture.width;
    result.height = picture.height;
    const std::size_t pixels = picture.rgb.size() / 3;
    assert(pixels == static_cast<std::size_t>(picture.width) * picture.height);

    // The distinct 6-bit colours, the margin's first, each numbered as it first appears.
    constexpr std::int16_t UNSEEN = -1;
    std::vector<std::int16_t> numbers(std::size_t{1} << 18, UNSEEN);
    int count = 0;
    auto number = [&](const std::uint8_t* colour) {
        std::int16_t& slot = numbers[colour_key(colour[0], colour[1], colour[2])];
        if (slot == UNSEEN && count < 257) {
            if (count < 256) {
                picture_palette[static_cast<std::size_t>(count)] = {
                    static_cast<std::uint8_t>(colour[0] >> 2),
                    static_cast<std::uint8_t>(colour[1] >> 2),
                    static_cast<std::uint8_t>(colour[2] >> 2)};
            }
            slot = static_cast<std::int16_t>(count++);
        }
        return slot;
    };
    margin_index = static_cast<std::uint8_t>(number(picture.margin.data()));  // Always 0.
    for (std::size_t pixel = 0; pixel < pixels && count <= 256; ++pixel)
        result.pixels[pixel] = static_cast<std::uint8_t>(number(&picture.rgb[3 * pixel]));
    if (count <= 256)
        return result;

    picture_palette = cube_palette();
    const auto& margin = picture.margin;
    margin_index = cube_index(margin[0], margin[1], margin[2]);
    for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
        const std::uint8_t* colour = &picture.rgb[3 * pixel];
        result.pixels[pixel] = cube_index(colour[0], colour[1], colour[2]);
    }
    return result;
}

}  // namespace mirva::screen
