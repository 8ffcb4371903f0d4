#pragma once

#include <array>
#include <cstdint>

#include "screen/palette.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes two colours; returns the sum of the squared differences of their components.
unsigned colour_distance(const Rgb& a, const Rgb& b);

/// Takes a centroid component (0..63), its number of members so far (0..63) and the component
/// of the colour that joins it; returns the truncated mean of the members and the new colour.
std::uint8_t running_mean(std::uint8_t component, unsigned members, std::uint8_t joining);

/// Takes a colour; returns the index 0..15 of the nearest spectrum_palette entry (the lower
/// index on a tie, so black is 0, never 8).
std::uint8_t nearest_spectrum_colour(const Rgb& colour);

/// Takes a palette; returns nearest_spectrum_colour of each of its 256 entries.
std::array<std::uint8_t, 256> nearest_spectrum_colours(const Palette& palette);

/// Replaces every pixel of a 256x192 picture by the spectrum_palette index nearest to its
/// palette colour, searching once per palette entry instead of once per pixel.
void snap_to_spectrum(Picture& picture, const Palette& picture_palette);

/// Takes a 256x192 picture whose pixels are spectrum_palette indices and a cell (column 0..31,
/// row 0..23); writes the cell's attribute into screen and leaves its 64 pixels at 1 for ink
/// and 0 for paper. Fails with "Error interno" for a cell out of range or a pixel above 15.
void fit_cell(Picture& picture, ScreenImage& screen, int column, int row);

/// Takes a 256x192 picture (its pixels are used as working storage and left as 0 and 1) and its
/// palette; returns the screen that fits two Spectrum colours to every 8x8 cell.
ScreenImage picture_to_screen(Picture& picture, const Palette& picture_palette);

/// Takes a 256x192 picture of spectrum_palette indices (used as working storage and left as 0
/// and 1); returns the screen that fits two Spectrum colours to every 8x8 cell.
ScreenImage spectrum_picture_to_screen(Picture& picture);

}  // namespace mirva::screen
