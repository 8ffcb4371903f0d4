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
    std::size_t last_key = nearest.size();  // No key: the first pixel is always looked up.
    std::uint8_t last_index = 0;
    for (std::size_t pixel = 0; pixel < SCREEN_PIXELS; ++pixel) {
        const std::size_t key = (std::size_t{picture.rgb[3 * pixel]} >> 2) << 12 |
                                (std::size_t{picture.rgb[3 * pixel + 1]} >> 2) << 6 |
                                std::size_t{picture.rgb[3 * pixel + 2]} >> 2;
        if (key != last_key) {
            if (nearest[key] == 0) {
                const Rgb colour{static_cast<std::uint8_t>(key >> 12),
                                 static_cast<std::uint8_t>((key >> 6) & 63),
                                 static_cast<std::uint8_t>(key & 63)};
                nearest[key] = static_cast<std::uint8_t>(
                    nearest_spectrum_colour(apply_colour_options(colour, options)) + 1);
            }
            last_key = key;
            last_index = static_cast<std::uint8_t>(nearest[key] - 1);
        }
        indices.pixels[pixel] = last_index;
    }
    return spectrum_picture_to_screen(indices);
}

}  // namespace mirva::screen
