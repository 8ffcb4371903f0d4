#pragma once

#include <cstdint>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::pictures {

/// Takes a screen and the -b and -i flags; returns the bytes of a 256x192 GIF87a file.
std::vector<std::uint8_t> write_gif_screen(const screen::ScreenImage& screen, bool bw,
                                           bool inverse);

}  // namespace mirva::pictures
