#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// The ten bytes that start a TZX file: "ZXTape!", 0x1A, then the major and minor version.
inline constexpr std::array<std::uint8_t, 8> TZX_SIGNATURE{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
/// The 16-byte name of a Custom Info block (ID 0x35) that holds a loading screen.
inline constexpr std::string_view TZX_SCREEN_INFO_NAME = "Spectrum Screen ";
/// The most blocks walked in one tape: no tape has more than a few thousand, and a file that
/// goes on past this is taken as damaged, so that a walk ends in a few milliseconds.
inline constexpr std::uint64_t MAX_TAPE_BLOCKS = 1'000'000;

/// Takes a TZX tape, version 1; returns the screen of the first standard-speed (0x10),
/// turbo-speed (0x11) or pure-data (0x14) block of 6914 bytes (flag, screen, checksum). When there
/// is none, returns the loading screen of the first Custom Info block that holds one and sets
/// border_colour to its border byte. Fails with "El TZX no tiene ninguna pantalla", or with
/// "Error leyendo del fichero %s" for a file that is not a TZX tape, a block that runs past the
/// end, or more than MAX_TAPE_BLOCKS blocks.
screen::ScreenImage read_tzx_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

}  // namespace mirva::containers
