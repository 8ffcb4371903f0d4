#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "screen/palette.h"

namespace mirva::pictures {

/// The 16 Spectrum colours as GIF and PCX files store them: red, green, blue per entry, each
/// 6-bit component shifted left by 2 (50 becomes 0xC8, 63 becomes 0xFC).
constexpr std::array<std::uint8_t, 48> spectrum_colour_bytes() {
    std::array<std::uint8_t, 48> bytes{};
    std::size_t at = 0;
    for (const auto& colour : screen::spectrum_palette) {
        bytes[at++] = static_cast<std::uint8_t>(colour.red << 2);
        bytes[at++] = static_cast<std::uint8_t>(colour.green << 2);
        bytes[at++] = static_cast<std::uint8_t>(colour.blue << 2);
    }
    return bytes;
}

/// Takes a file's colour table (red, green, blue bytes 0..255 per entry); replaces as many
/// entries of the palette as it holds, from the first, each component shifted right by 2.
void load_file_colours(std::span<const std::uint8_t> table, screen::Palette& palette);

}  // namespace mirva::pictures
