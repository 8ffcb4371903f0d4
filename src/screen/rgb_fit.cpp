#include "screen/rgb_fit.h"

#include <cassert>
#include <vector>

#include "screen/fit.h"
#include "screen/palette_options.h"

namespace mirva::screen {

ScreenImage rgb_picture_to_screen(const RgbPicture& picture, const Options& options) {
    assert(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    assert(picture.rgb.size() == 3 * SCREEN_PIXELS);
    // The nearest Spectrum colour depends on the 6-bit colour alone, as it depends on the palette
    // entry alone for a picture with a palette: one search per distinct colour, remembered by
    // its 18 bits (0 for not yet searched, else the index + 1).
    std::vector<std::uint8_t> nearest(std::size_t{1} << 18, 0);
    Picture indices;
    indices.width = SCREEN_WIDTH;
    indices.height = SCREEN_HEIGHT;
    for (std::size_t pixel = 0; pixel < SCREEN_PIXELS; ++pixel) {
        const Rgb colour{static_cast<std::uint8_t>(picture.rgb[3 * pixel] >> 2),
                         static_cast<std::uint8_t>(picture.rgb[3 * pixel + 1] >> 2),
                         static_cast<std::uint8_t>(picture.rgb[3 * pixel + 2] >> 2)};
        const std::size_t key =
            std::size_t{colour.red} << 12 | std::size_t{colour.green} << 6 | colour.blue;
        if (nearest[key] == 0) {
            nearest[key] = static_cast<std::uint8_t>(
                nearest_spectrum_colour(apply_colour_options(colour, options)) + 1);
        }
        indices.pixels[pixel] = static_cast<std::uint8_t>(nearest[key] - 1);
    }
    return spectrum_picture_to_screen(indices);
}

}  // namespace mirva::screen
