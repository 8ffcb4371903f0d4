#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "cli/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// Takes a Z80 or SLT snapshot (versions 1 to 3); returns its screen and sets border_colour to
/// 0..7. Fails with "Error leyendo del fichero %s".
screen::ScreenImage read_z80_screen(cli::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

}  // namespace mirva::containers
