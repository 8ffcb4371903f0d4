#pragma once

#include <array>
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
    std::span<const std::uint8_t, SCREEN_WIDTH> operator()(int y) const {
        render_row(screen, y, bw, inverse, false, row);  // Flashing cells appear as stored.
        return row;
    }
};

}  // namespace mirva::screen
