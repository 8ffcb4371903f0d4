#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// The sizes of a 128K SNA: the 48K part, 4 bytes of paging state and five more banks, or six
/// when the bank paged at 0xC000 is bank 2 or 5 (which then lies in the file twice).
inline constexpr std::uint64_t SNA_128K_BYTES = 131103;
inline constexpr std::uint64_t SNA_128K_LONG_BYTES = 147487;

/// Where the screen on display lies in a SNA of the given size whose last write to port 0x7FFD
/// is port_7ffd; nothing for a 48K SNA, whose screen is at the fixed offset.
std::optional<std::uint64_t> sna_128k_screen_offset(std::uint64_t size, std::uint8_t port_7ffd);

/// Takes a SNA snapshot, 48K or 128K; returns the screen on display (bank 7 when a 128K
/// snapshot shows it, else the screen at 16384) and sets border_colour to the header's border
/// byte. Fails with "Error leyendo del fichero %s".
screen::ScreenImage read_sna_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

}  // namespace mirva::containers
