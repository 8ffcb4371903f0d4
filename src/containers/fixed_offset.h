#pragma once

#include <cstdint>
#include <string_view>

#include "cli/arguments.h"
#include "cli/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// Returns the file offset of the screen bytes for SCR (0), SP (38), SNA (27), SIT (16412);
/// 0 for any other kind.
std::uint64_t screen_offset(cli::FileKind kind);

/// Reads the border byte of an SP, SNA or SIT file into border_colour, unchanged; does nothing
/// for other kinds. Fails with "Error leyendo del fichero %s".
void read_border_byte(cli::ByteSource& source, cli::FileKind kind, std::string_view path,
                      std::uint8_t& border_colour);

/// Takes an SCR, SP, SNA or SIT source; returns its screen and sets border_colour where the kind
/// carries one. Fails with "Error leyendo del fichero %s" when the file is too short.
screen::ScreenImage read_fixed_offset_screen(cli::ByteSource& source, cli::FileKind kind,
                                             std::string_view path, std::uint8_t& border_colour);

}  // namespace mirva::containers
