#pragma once

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

}  // namespace mirva::screen
