#pragma once

#include <cstdint>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::testing {

/// Returns one tape block: its two-byte length, then the bytes.
std::vector<std::uint8_t> tap_block(const std::vector<std::uint8_t>& block);

/// Returns the tape a Spectrum saves for SAVE "SCREEN" SCREEN$: a header block and a data
/// block of flag 0xFF, the screen and the checksum, both blocks with their correct checksums.
std::vector<std::uint8_t> screen_tape(const screen::ScreenImage& screen);

}  // namespace mirva::testing
