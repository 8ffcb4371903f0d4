#pragma once

#include <array>
#include <vector>

#include "screen/rgb_picture.h"

namespace mirva::screen {

/// A colour as gamma-encoded sRGB components 0..255, or as CIELAB L*, a*, b*.
using Colour = std::array<float, 3>;

/// Takes an sRGB colour (components 0..255, D65 white); returns its CIELAB value, with the
/// transfer function and cube root taken from tables (to about 0.1 in L*).
Colour lab_colour(const Colour& srgb);

/// Takes a 256x192 picture; returns it blurred by a Gaussian of sigma 1 pixel (the picture's
/// edge mirrored) and then averaged over each 2x2 block, in CIELAB: 128x96 colours, row-major.
std::vector<Colour> blurred_lab_blocks(const RgbPicture& picture);

}  // namespace mirva::screen
