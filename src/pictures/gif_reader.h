#pragma once

#include "cli/byte_source.h"
#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// Takes a GIF file of at most 256x192; returns its picture and fills the first entries of
/// picture_palette from the global colour table. Fails with the GIF reader's messages.
screen::Picture read_gif_picture(cli::ByteSource& source, screen::Palette& picture_palette);

}  // namespace mirva::pictures
