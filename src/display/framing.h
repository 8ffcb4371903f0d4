#pragma once

#include <cstdint>
#include <span>

namespace mirva::display {

/// Takes a 64000-byte buffer holding a width x height picture (0..320 x 0..200) at its start;
/// centres it in place in the 320x200 frame and fills the margins with border_colour.
void frame_picture(std::span<std::uint8_t> frame, int width, int height,
                   std::uint8_t border_colour);

}  // namespace mirva::display
