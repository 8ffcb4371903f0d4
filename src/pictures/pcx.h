#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_source.h"
#include "screen/options.h"
#include "screen/palette.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::pictures {

inline constexpr std::size_t PCX_HEADER_BYTES = 128;
/// The palette marker byte and the 256 colours that end an 8-bit file.
inline constexpr std::size_t PCX_PALETTE_BYTES = 1 + 768;
inline constexpr std::uint8_t PCX_PALETTE_MARKER = 0x0C;

/// How the decoded values of a file fill its picture. When bytes_per_line is at least the
/// width, the values come in height lines of bytes_per_line, of which the first width are
/// pixels (lines are padded, to an even length by most writers); otherwise they are the
/// pixels in one continuous stream.
struct PcxLayout {
    int width = 0;   // 0..256, or 0..16384 for a picture to be scaled down.
    int height = 0;  // 0..192, or 0..16384; at most 64 megapixels.
    std::size_t bytes_per_line = 0;
    bool run_length = true;  // False for raw data, whose bytes are the values.
};

/// Takes the data_length bytes of pixel data at the source's position and the layout; writes
/// the picture's pixels row-major into pixels. Decoding ends when the picture is complete or the
/// data end; pixels the data do not reach are left as they were. Fails with "Error leyendo
/// datos del fichero" when the source holds fewer than data_length bytes and they are needed,
/// and with "Error interno" when the layout is out of range or pixels cannot hold it.
void decode_pcx_pixels(base::ByteSource& data, std::uint64_t data_length, const PcxLayout& layout,
                       std::span<std::uint8_t> pixels);

/// Takes an 8-bit PCX file of at most 256x192 (or of the limit given); returns its picture and
/// fills all 256 entries of picture_palette. Fails with the PCX reader's messages.
screen::Picture read_pcx_picture(base::ByteSource& source, screen::Palette& picture_palette,
                                 screen::PictureLimit limit = screen::SCREEN_LIMIT);

/// Takes 256x192 pixels of spectrum_palette indices; returns the bytes of a PCX file of them,
/// run-length coded without runs across lines, with the Spectrum colours (any byte is a valid
/// pixel: entries from 16 up are black). Fails with "Error interno" for any other number of
/// pixels.
std::vector<std::uint8_t> encode_pcx(std::span<const std::uint8_t> pixels);

/// Takes a screen, its border colour, the options and the picture's size (written_size of the
/// options); returns the bytes of a PCX file of the screen in the 16 Spectrum colours.
std::vector<std::uint8_t> write_pcx_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

}  // namespace mirva::pictures
