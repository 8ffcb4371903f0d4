#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "screen/options.h"
#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// A picture without a palette: width x height pixels, row-major with no gap between rows, each
/// three bytes (red, green, blue, 0..255).
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    /// The colour of the margins when the picture is centred in a screen: black, or the first
    /// colour of the palette the picture was made from.
    std::array<std::uint8_t, 3> margin{};
};

/// The largest picture that is decoded at all: 16384 pixels a side and 64 megapixels. Larger
/// ones are refused before their pixels are read, so no file can ask for more memory or time.
inline constexpr int MAX_DECODED_SIDE = 16384;
inline constexpr std::uint64_t MAX_DECODED_PIXELS = std::uint64_t{64} << 20;

/// The largest picture a reader of pictures with a palette takes.
struct PictureLimit {
    int width = SCREEN_WIDTH;
    int height = SCREEN_HEIGHT;
};
/// Pictures that fit a screen as they are: GIF and PCX by default.
inline constexpr PictureLimit SCREEN_LIMIT{};
/// Pictures that are scaled down to fit (--resize).
inline constexpr PictureLimit RESIZE_LIMIT{MAX_DECODED_SIDE, MAX_DECODED_SIDE};

/// True when a width x height picture is within the limit and MAX_DECODED_PIXELS.
constexpr bool within_limit(std::uint64_t width, std::uint64_t height, PictureLimit limit) {
    return width <= static_cast<std::uint64_t>(limit.width) &&
           height <= static_cast<std::uint64_t>(limit.height) &&
           width * height <= MAX_DECODED_PIXELS;  // Both are at most 16384 here.
}

/// Takes a 6-bit palette component (0..63); returns the 8-bit component whose top six bits it
/// is, the low bits copied from its top ones (63 becomes 255).
constexpr std::uint8_t widen_component(std::uint8_t component) {
    return static_cast<std::uint8_t>((component << 2) | (component >> 4));
}

/// Takes a picture of palette indices (at most 16384 a side and 64 megapixels) and its palette
/// of 6-bit colours; returns it as an RgbPicture scaled down by area averaging to fit in
/// 256x192 (fitted_size), each colour widened, the margin palette entry 0.
RgbPicture widen_picture(const Picture& picture, const Palette& picture_palette);

/// Takes a picture of at most 256x192; returns it centred in 256x192 on its margin colour, an
/// odd margin's extra row at the top and extra column at the right, as crop_to_screen does.
RgbPicture centre_rgb_picture(RgbPicture picture);

/// Applies -b (every pixel becomes the grey of its mean component, first) and -i (every
/// component inverted) to the 8-bit colours of a picture and its margin.
void apply_rgb_options(RgbPicture& picture, const Options& options);

/// Takes a picture of at most 256x192; returns it as palette indices at the start of a Picture,
/// fills picture_palette and sets margin_index to the entry of the margin colour. The palette
/// holds the picture's distinct colours shifted right by 2 when they and the margin are at most
/// 256, else a cube of 6 x 7 x 6 levels (red, green, blue) with each colour at its nearest level.
Picture index_rgb_picture(const RgbPicture& picture, Palette& picture_palette,
                          std::uint8_t& margin_index);

}  // namespace mirva::screen
