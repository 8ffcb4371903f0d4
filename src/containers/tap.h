#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "screen/options.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// The 24 bytes that start every tape written: a 19-byte header block naming "SCREEN" as 6912
/// bytes of code at 16384, then the length (6914) and flag (0xFF) of the data block.
inline constexpr std::array<std::uint8_t, 24> tap_screen_header{
    0x13, 0x00, 0x00, 0x03, 0x53, 0x43, 0x52, 0x45, 0x45, 0x4E, 0x20, 0x20,
    0x20, 0x20, 0x00, 0x1B, 0x00, 0x40, 0x00, 0x80, 0xD4, 0x02, 0x1B, 0xFF};

inline constexpr std::size_t TAP_FILE_BYTES = 6937;

/// Takes a tape; returns the screen of its first 6914-byte block. Fails with "EL TAP no tiene
/// ninguna pantalla" or "Error leyendo del fichero %s".
screen::ScreenImage read_tap_screen(base::ByteSource& source, std::string_view path);

/// Returns the 6937 bytes of a two-block tape holding the screen, with its checksums.
std::vector<std::uint8_t> write_tap_screen(const screen::ScreenImage& screen);

/// The same, in the form every writer takes: the border, options and size change nothing.
std::vector<std::uint8_t> write_tap_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

}  // namespace mirva::containers
