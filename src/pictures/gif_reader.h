#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_source.h"
#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// Takes a GIF file of at most 256x192; returns its picture and fills the first entries of
/// picture_palette from the global colour table. Fails with the GIF reader's messages.
screen::Picture read_gif_picture(base::ByteSource& source, screen::Palette& picture_palette);

/// Takes the colour-table bit count 1..8 and the LZW minimum code size byte; returns the root
/// size of the code stream.
int gif_root_bits(int colour_bits, std::uint8_t minimum_code_size);

/// Takes a 64000-byte buffer holding an interlaced width x height picture; returns a new
/// 64000-byte buffer with its rows in display order. Fails with "Error interno" on any other
/// size.
std::vector<std::uint8_t> deinterlace_picture(std::span<const std::uint8_t> source, int width,
                                              int height);

}  // namespace mirva::pictures
