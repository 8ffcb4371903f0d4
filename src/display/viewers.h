#pragma once

#include <cstdint>

#include "display/graphics.h"
#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::display {

/// Shows a screen framed in border_colour, its flashing cells flashing, until a key is pressed.
void view_screen(Display& display, const screen::ScreenImage& screen, bool bw, bool inverse,
                 std::uint8_t border_colour);

/// Shows a picture centred in its own palette until a key is pressed; frames it in place.
void view_picture(Display& display, screen::Picture& picture,
                  const screen::Palette& picture_palette, std::uint8_t border_colour);

}  // namespace mirva::display
