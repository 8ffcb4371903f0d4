#include "screen/rgb_fit.h"

#include <array>
#include <cassert>

#include "screen/fit.h"
#include "screen/palette_options.h"

namespace mirva::screen {

ScreenImage rgb_picture_to_screen(const RgbPicture& picture, const Options& options) {
    assert(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    assert(picture.rgb.size() == 3 * SCREEN_PIXELS);
    // The nearest Spectrum colour depends on the 6-bit colour alone, as it depends on the palette
    // entry alone for a picture with a palette. The searches are remembered in a small table
    // indexed by a hash of the colour's 18 bits; each slot holds the colour in bits 0..17 and
    // its Spectrum index + 1 in bits 24..31 (0 for an empty slot).
    constexpr std::size_t SLOTS = 4096;
    std::array<std::uint32_t, SLOTS> remembered{};
    Picture indices;
    indices.width = SCREEN_WIDTH;
    indices.height = SCREEN_HEIGHT;
    std::uint32_t last_key = 1u << 18;  // No colour: the first pixel is always looked up.
    std::uint8_t last_index = 0;
    for (std::size_t pixel = 0; pixel < SCREEN_PIXELS; ++pixel) {
        const std::uint32_t key = (std::uint32_t{picture.rgb[3 * pixel]} >> 2) << 12 |
                                  (std::uint32_t{picture.rgb[3 * pixel + 1]} >> 2) << 6 |
                                  std::uint32_t{picture.rgb[3 * pixel + 2]} >> 2;
        if (key != last_key) {
            std::uint32_t& slot = remembered[(key ^ (key >> 7) ^ (key >> 13)) % SLOTS];
            if ((slot >> 24) == 0 || (slot & 0x3FFFF) != key) {
                const Rgb colour{static_cast<std::uint8_t>(key >> 12),
                                 static_cast<std::uint8_t>((key >> 6) & 63),
                                 static_cast<std::uint8_t>(key & 63)};
                const std::uint8_t nearest =
                    nearest_spectrum_colour(apply_colour_options(colour, options));
                slot = key | std::uint32_t{nearest + 1u} << 24;
            }
            last_key = key;
            last_index = static_cast<std::uint8_t>((slot >> 24) - 1);
        }
        indices.pixels[pixel] = last_index;
    }
    return spectrum_picture_to_screen(indices);
}

}  // namespace mirva::screen
