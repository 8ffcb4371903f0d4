#pragma once

#include <cstdint>
#include <vector>

#include "screen/palette.h"
#include "screen/screen_image.h"
#include "support/pcx_file.h"

namespace mirva::testing {

/// A 320x200 frame as the 8-bit colours a viewer should show; 6-bit components scaled up.
using ExpectedFrame = std::vector<screen::Rgb>;

/// The colours of a frame of palette indices.
ExpectedFrame colours_of(const std::vector<std::uint8_t>& frame, const screen::Palette& palette);

/// The frame of a screen in one flash phase, framed in the border colour.
ExpectedFrame screen_frame(const screen::ScreenImage& screen, bool phase, std::uint8_t border);

/// A 100x50 picture of diagonal stripes in entries 1..4; entry 0, which the margins show, is a
/// colour of its own. File components are multiples of 4, so 6 bits hold them exactly.
PcxPicture stripes_picture();

/// The frame of a picture centred on its palette colour 0, in its own palette.
ExpectedFrame picture_frame(const PcxPicture& pcx);

}  // namespace mirva::testing
