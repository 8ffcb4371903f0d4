#pragma once

#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a 256x192 picture (its pixels are used as working storage and left as 0 and 1) and its
/// palette; returns the screen that fits two Spectrum colours to every 8x8 cell.
ScreenImage picture_to_screen(Picture& picture, const Palette& picture_palette);

}  // namespace mirva::screen
