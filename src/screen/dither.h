#pragma once

#include "screen/options.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a 256x192 picture without a palette (-b and -i already applied to its colours) and a
/// mode; returns the screen made of it in that mode. Dither::none is rgb_picture_to_screen.
ScreenImage dither_to_screen(const RgbPicture& picture_256x192, Dither mode);

}  // namespace mirva::screen
