#pragma once

#include <cstdint>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::testing {

/// A test card: all 16 colours as ink and paper, bright and flashing cells, and bitmap patterns
/// that show ink against paper.
screen::ScreenImage make_test_card();

/// A 48K SNA snapshot holding the screen, with the border colour in its header. The machine
/// state loops in place, so an emulator that loads it keeps showing the screen.
std::vector<std::uint8_t> make_sna(const screen::ScreenImage& screen, std::uint8_t border);

/// A snapshot that holds the screen at screen_offset and nothing after it, the border byte at
/// border_offset, and 0x5A in every other byte.
std::vector<std::uint8_t> make_snapshot_file(const screen::ScreenImage& screen,
                                             std::size_t screen_offset, std::size_t border_offset,
                                             std::uint8_t border);

/// A screen of pseudo-random bytes from a seed (a xorshift generator, the same on every machine).
screen::ScreenImage make_random_screen(std::uint32_t seed);

}  // namespace mirva::testing
