#pragma once

#include "screen/options.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a 256x192 picture without a palette and the options; returns the screen that
/// picture_to_screen makes of the picture's distinct colours taken as a palette: each shifted
/// right by 2, -b and -i applied as to a palette. A GIF or PCX of the same pixels gives the
/// same screen.
ScreenImage rgb_picture_to_screen(const RgbPicture& picture, const Options& options);

}  // namespace mirva::screen
