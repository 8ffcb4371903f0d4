#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "screen/options.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

/// The header of every file written: signature, screen descriptor, colour table and image
/// descriptor up to the LZW minimum code size.
inline constexpr std::size_t GIF_HEADER_BYTES = 72;

/// Takes a screen, its border colour, the options and the picture's size (written_size of the
/// options); returns the bytes of a GIF87a file of the screen in the 16 Spectrum colours.
std::vector<std::uint8_t> write_gif_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

/// Takes 49152 pixels (256 per row, top row first, each 0..15); returns the bytes of the GIF87a
/// file with the 16 Spectrum colours. Finds strings through a direct index per prefix and pixel.
/// Fails with "Error interno" when pixels are not 49152 values 0..15.
std::vector<std::uint8_t> encode_gif(std::span<const std::uint8_t> pixels);

/// The same file as encode_gif, found by a plain upward scan of the table for every pixel; the
/// reference that the direct index must match, byte for byte.
std::vector<std::uint8_t> encode_gif_by_scan(std::span<const std::uint8_t> pixels);

/// Merges code into the code buffer at bit position (least significant bit first) and advances
/// position by size bits. The buffer must reach two bytes past the code's first byte.
void put_code(std::int32_t code, std::span<std::uint8_t> buffer, std::uint32_t& position, int size);

}  // namespace mirva::pictures
