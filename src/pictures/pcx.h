#pragma once

#include <cstdint>
#include <vector>

#include "cli/byte_source.h"
#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// Takes an 8-bit PCX file of at most 256x192; returns its picture and fills all 256 entries of
/// picture_palette. Fails with the PCX reader's messages.
screen::Picture read_pcx_picture(cli::ByteSource& source, screen::Palette& picture_palette);

/// Takes a screen and the -b and -i flags; returns the bytes of a 256x192 PCX file.
std::vector<std::uint8_t> write_pcx_screen(const screen::ScreenImage& screen, bool bw,
                                           bool inverse);

}  // namespace mirva::pictures
