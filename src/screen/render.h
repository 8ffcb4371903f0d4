#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>

#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a screen, the -b and -i flags and a flash phase; returns the 256x192 picture of
/// spectrum_palette indices (phase 1 swaps ink and paper in flashing cells).
Picture render_screen(const ScreenImage& screen, bool bw, bool inverse, bool flash_phase);

/// Writes pixel row y (0..191) of render_screen's picture into out, for writers that take a
/// screen one row at a time instead of holding its whole picture.
void render_row(const ScreenImage& screen, int y, bool bw, bool inverse, bool flash_phase,
                std::span<std::uint8_t, SCREEN_WIDTH> out);

/// The colours of the 32 cells of one character row (eight pixel rows) under -b, -i and a flash
/// phase, as eight pixels at a time: the paper's index in every byte, and the bits that turn it
/// into the ink's.
struct CellColours {
    std::array<std::uint64_t, 32> paper{};
    std::array<std::uint64_t, 32> ink_flip{};
    int character_row = -1;  // The row (0..23) they are for, or -1.
};

/// For each bitmap byte, eight bytes in memory order of 0xFF for a set bit and 0x00 for a clear
/// one, the leftmost pixel (bit 7) first.
constexpr std::array<std::uint64_t, 256> bit_masks() {
    std::array<std::uint64_t, 256> masks{};
    for (unsigned bits = 0; bits < masks.size(); ++bits) {
        std::array<std::uint8_t, 8> bytes{};
        for (unsigned k = 0; k < 8; ++k)
            bytes[k] = ((bits >> (7 - k)) & 1) ? 0xFF : 0x00;
        masks[bits] = std::bit_cast<std::uint64_t>(bytes);
    }
    return masks;
}
inline constexpr std::array<std::uint64_t, 256> BIT_MASKS = bit_masks();

/// The eight pixels of a cell of the colours' character row, in memory order, from the cell's
/// column (0..31) and bitmap byte: ink where the mask of the byte has 0xFF, paper elsewhere.
inline std::uint64_t cell_pixels(const CellColours& colours, std::size_t column,
                                 std::uint8_t bits) {
    return colours.paper[column] ^ (BIT_MASKS[bits] & colours.ink_flip[column]);
}

/// Fills colours for the character row of pixel row y (0..191), unless they are for it already.
void find_cell_colours(const ScreenImage& screen, int y, bool bw, bool inverse, bool flash_phase,
                       CellColours& colours);

/// Writes pixel row y of the screen into out in the colours of its character row.
void render_row_in(const ScreenImage& screen, int y, const CellColours& colours,
                   std::span<std::uint8_t, SCREEN_WIDTH> out);

/// The rows of 256x192 pixels held in memory, for writers that take a picture row by row.
struct PixelRows {
    std::span<const std::uint8_t> pixels;  // 49152 bytes.
    std::span<const std::uint8_t, SCREEN_WIDTH> operator()(int y) const {
        return pixels.subspan(static_cast<std::size_t>(y) * SCREEN_WIDTH).first<SCREEN_WIDTH>();
    }
};

/// The rows of a screen in flash phase 0, rendered one at a time as they are asked for, so that
/// a writer never holds the whole picture.
struct RenderedRows {
    const ScreenImage& screen;
    bool bw;
    bool inverse;
    mutable std::array<std::uint8_t, SCREEN_WIDTH> row{};
    mutable CellColours colours{};
    std::span<const std::uint8_t, SCREEN_WIDTH> operator()(int y) const {
        find_cell_colours(screen, y, bw, inverse, false, colours);  // Flashing cells as stored.
        render_row_in(screen, y, colours, row);
        return row;
    }
};

}  // namespace mirva::screen
