#pragma once

#include <cstdint>

#include "screen/screen_image.h"

namespace mirva::screen {

/// How a picture made from a screen, or a screen made from a picture, is to look: everything the
/// command line can ask of a conversion or a viewer, parsed once and passed down unchanged.
/// How a picture becomes a screen: the fit of two colours to each cell, or that fit on a dithered
/// picture.
enum class Dither : std::uint8_t { none, floyd, atkinson, ordered };

struct Options {
    bool bw = false;       // -b: black and white.
    bool inverse = false;  // -i: ink and paper swapped, or every colour inverted.
    bool resize = false;   // --resize: GIF and PCX pictures larger than 256x192 are scaled down.
    Dither dither = Dither::none;  // --dither=MODE, for a picture written as a screen.
};

/// The size in pixels of a picture written from a screen.
struct PictureSize {
    int width = SCREEN_WIDTH;
    int height = SCREEN_HEIGHT;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

/// The size of the picture a writer makes of a screen under the options.
constexpr PictureSize written_size(const Options& /*options*/) {
    return {};
}

}  // namespace mirva::screen
