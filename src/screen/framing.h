#pragma once

#include <cstdint>
#include <span>

#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a 64000-byte buffer holding a width x height picture (0..320 x 0..200) at its start;
/// centres it in place in the 320x200 frame and fills the margins with border_colour. Fails with
/// "Error interno" on any other buffer size or a size out of range.
void frame_picture(std::span<std::uint8_t> frame, int width, int height,
                   std::uint8_t border_colour);

/// Centres a picture smaller than 256x192 in a 256x192 canvas of index 0, in place; a picture of
/// that size is left alone. Fails with "Error interno" for a picture larger than that.
void crop_to_screen(Picture& picture);

}  // namespace mirva::screen
