#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// Where a file that holds its screen at a fixed place keeps the screen and the border byte.
struct FixedOffsetLayout {
    std::uint64_t screen_offset = 0;
    std::optional<std::uint64_t> border_offset;  // None for files without a border.
};

/// A screen dump: the 6912 bytes from the start, no border.
inline constexpr FixedOffsetLayout SCR_LAYOUT{0, std::nullopt};
/// SP: a 38-byte header whose byte 34 is the border, then memory from 16384.
inline constexpr FixedOffsetLayout SP_LAYOUT{38, 34};
/// SNA: a 27-byte header ending in the border byte, then memory from 16384.
inline constexpr FixedOffsetLayout SNA_LAYOUT{27, 26};
/// SIT: a 28-byte header ending in the border byte, then memory from address 0.
inline constexpr FixedOffsetLayout SIT_LAYOUT{28 + 16384, 27};

/// Reads the border byte at the layout's border offset into border_colour, unchanged; does
/// nothing for a layout without one. Fails with "Error leyendo del fichero %s".
void read_border_byte(base::ByteSource& source, const FixedOffsetLayout& layout,
                      std::string_view path, std::uint8_t& border_colour);

/// Takes a source laid out as the layout says; returns its screen and sets border_colour where
/// the layout has one. Fails with "Error leyendo del fichero %s" when the file is too short.
screen::ScreenImage read_fixed_offset_screen(base::ByteSource& source,
                                             const FixedOffsetLayout& layout, std::string_view path,
                                             std::uint8_t& border_colour);

}  // namespace mirva::containers
