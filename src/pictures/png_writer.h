#pragma once

#include <cstdint>
#include <vector>

#include "screen/options.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// The libdeflate compression levels of written PNG files: of a plain screen, and of a scaled
/// one or one with its border.
inline constexpr int PNG_COMPRESSION_LEVEL = 6;
inline constexpr int PNG_SCALED_COMPRESSION_LEVEL = 9;
/// From this scale on, the rows are compressed by PngDeflate, which writes the repeats of a row
/// without searching them: a picture scaled four times or more is mostly such repeats.
inline constexpr int PNG_REPEATING_SCALE = 4;

/// Takes a screen, its border colour, the options and the picture's size (written_size of the
/// options); returns the bytes of an indexed PNG file of the screen in the Spectrum colours (the
/// palette up to the highest index used, 1, 2 or 4 bits a pixel). With --flash and a cell that
/// flashes, an APNG of the two flash phases, 0.32 s each for ever, whose first frame is the still
/// picture.
std::vector<std::uint8_t> write_png_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

}  // namespace mirva::pictures
