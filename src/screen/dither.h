#pragma once

#include "screen/options.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a 256x192 picture (-b and -i already applied to its colours) and a dithering mode;
/// returns the screen whose cells hold, each in two colours of one brightness, the picture
/// dithered in that mode. Dither::none is the fit of rgb_picture_to_screen.
ScreenImage dither_to_screen(const RgbPicture& picture, Dither mode);

}  // namespace mirva::screen
