#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// The run code of the Z80 memory compression: 0xED 0xED n v stands for n copies of v.
inline constexpr std::uint8_t Z80_RUN_MARK = 0xED;
inline constexpr std::size_t Z80_RUN_CODE_BYTES = 4;

/// How far an expansion fed in pieces has come.
struct Z80Unpacking {
    std::size_t consumed = 0;  // Input bytes used, always whole codes.
    std::size_t produced = 0;  // Screen bytes filled so far, at most 6912.
};

/// Expands the codes that lie wholly in input into screen, from byte `produced` on, until the
/// screen is full. A code cut off by the end of input is left unused for the next piece, except
/// that when input_is_last a final lone 0xED is a plain byte. Returns the input used and the
/// screen bytes filled; never looks past input.
Z80Unpacking unpack_z80_block(std::span<const std::uint8_t> input, bool input_is_last,
                              screen::ScreenImage& screen, std::size_t produced);

/// Expands compressed into all 6912 bytes of screen; false when the bytes end, or a run code is
/// cut off, before the screen is full.
bool unpack_z80_block(std::span<const std::uint8_t> compressed, screen::ScreenImage& screen);

/// Takes a Z80 or SLT snapshot (versions 1 to 3); returns the screen on display (page 10, bank
/// 7, when a 128K machine shows its second screen, else the screen at 16384) and sets
/// border_colour to 0..7. Fails with "Error leyendo del fichero %s".
screen::ScreenImage read_z80_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

}  // namespace mirva::containers
