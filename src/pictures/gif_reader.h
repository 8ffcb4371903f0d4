#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_source.h"
#include "screen/palette.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// Takes a GIF file of at most 256x192 (or of the limit given); returns its picture and fills the
/// first entries of picture_palette from the global colour table. Fails with the GIF reader's
/// messages.
screen::Picture read_gif_picture(base::ByteSource& source, screen::Palette& picture_palette,
                                 screen::PictureLimit limit = screen::SCREEN_LIMIT);

/// Takes the colour-table bit count 1..8 and the LZW minimum code size byte; returns the root
/// size of the code stream.
int gif_root_bits(int colour_bits, std::uint8_t minimum_code_size);

/// Takes a buffer holding an interlaced width x height picture at its start; returns a new
/// buffer of the same size with its rows in display order. Fails with "Error interno" when the
/// buffer is smaller than the picture.
std::vector<std::uint8_t> deinterlace_picture(std::span<const std::uint8_t> source, int width,
                                              int height);

}  // namespace mirva::pictures
