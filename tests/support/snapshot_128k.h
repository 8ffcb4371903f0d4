#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::testing {

/// The eight 16 KB RAM banks of a 128K Spectrum.
using Banks128k = std::array<std::vector<std::uint8_t>, 8>;

/// Eight banks that differ from each other from their first byte on, each starting with a
/// screen of its own (bank 5 with the given one) and holding 0xED bytes and runs.
Banks128k make_banks(const screen::ScreenImage& bank_5_screen);

/// The first 6912 bytes of a bank, the screen it would show.
screen::ScreenImage bank_screen(const std::vector<std::uint8_t>& bank);

/// A 128K SNA: the 27-byte header with the border, banks 5, 2 and the bank paged at 0xC000
/// (port_7ffd bits 2..0), the program counter, port_7ffd and the TR-DOS flag, then the other
/// banks in ascending order: 131103 bytes, or 147487 when the paged bank is 2 or 5.
std::vector<std::uint8_t> make_sna_128(const Banks128k& banks, std::uint8_t border,
                                       std::uint8_t port_7ffd);

}  // namespace mirva::testing
