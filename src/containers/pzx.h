#pragma once

#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// Takes a PZX tape, version 1; returns the screen of its first DATA block whose data are 6914
/// bytes (flag, screen, checksum). Fails with "El PZX no tiene ninguna pantalla", or with "Error
/// leyendo del fichero %s" for a file that does not start with a PZXT block of version 1, a
/// block that runs past the end, a DATA block whose data do not fit in it, or more than
/// MAX_TAPE_BLOCKS blocks.
screen::ScreenImage read_pzx_screen(base::ByteSource& source, std::string_view path);

}  // namespace mirva::containers
