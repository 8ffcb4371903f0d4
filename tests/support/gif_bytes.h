#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mirva::testing {

/// Packs codes of any width least significant bit first, as a GIF code stream is packed.
struct CodeWriter {
    std::vector<std::uint8_t> bytes;
    std::size_t bits = 0;
    void put(int code, int width);
};

/// A code stream for pixels of root_bits (2..8) that gives every pixel a code of its own and
/// keeps the code size at root_bits + 1 by a clear code before the table would grow: simple,
/// and independent of any dictionary search. Ends with the end code.
std::vector<std::uint8_t> plain_lzw_codes(std::span<const std::uint8_t> pixels, int root_bits);

/// The parts of a GIF file, to be laid out by gif_bytes.
struct GifParts {
    std::string version = "89a";
    std::uint8_t screen_flags = 0x80;  // G CCC S TTT: table present, table size in TTT.
    std::vector<std::uint8_t> colour_table;
    std::vector<std::vector<std::uint8_t>> extensions;  // Whole blocks, from the 0x21 on.
    int width = 0;
    int height = 0;
    std::uint8_t image_flags = 0;  // L I S 00 PPP.
    std::uint8_t minimum_code_size = 2;
    std::vector<std::uint8_t> codes;  // Cut into sub-blocks of 255 bytes.
    bool trailer = true;
};

std::vector<std::uint8_t> gif_bytes(const GifParts& parts);

/// A colour table of 2^bits entries, entry i = (i, 255 - i, i * 7) in the low bytes.
std::vector<std::uint8_t> test_colour_table(int bits);

/// A graphic control extension block (delay 0, no transparency).
std::vector<std::uint8_t> graphic_control_extension();

}  // namespace mirva::testing
