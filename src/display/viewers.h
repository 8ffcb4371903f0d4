#pragma once

#include <cstdint>
#include <span>

#include "display/graphics.h"
#include "screen/options.h"
#include "screen/palette.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::display {

/// The time each flash phase stays on screen.
inline constexpr int FLASH_MILLISECONDS = 500;

/// Shows a screen framed in border_colour, its flashing cells flashing, until a key is pressed;
/// returns in text mode.
void view_screen(Display& display, const screen::ScreenImage& screen,
                 const screen::Options& options, std::uint8_t border_colour);

/// Shows frame_a and frame_b by turns, each for FLASH_MILLISECONDS, frame_a first; returns after
/// the half second in which a key came, with that key consumed.
void show_flashing(Display& display, std::span<const std::uint8_t> frame_a,
                   std::span<const std::uint8_t> frame_b);

/// Shows a picture centred in its own palette until a key is pressed; frames it in place and
/// returns in text mode.
void view_picture(Display& display, screen::Picture& picture,
                  const screen::Palette& picture_palette, std::uint8_t border_colour);

/// Shows a picture without a palette (at most 256x192) centred on its margin colour, in its
/// colours as the fit takes them (shifted right by 2, -b and -i applied; a 6 x 7 x 6 colour
/// cube when they are more than 256), until a key is pressed; returns in text mode.
void view_rgb_picture(Display& display, const screen::RgbPicture& picture,
                      const screen::Options& options);

/// Returns the palette index the margins of a Spectrum screen show for a border byte: the byte
/// itself up to 15, its low three bits above.
std::uint8_t shown_border_colour(std::uint8_t border_colour);

}  // namespace mirva::display
