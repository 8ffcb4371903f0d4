#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mirva::screen {

inline constexpr std::size_t BITMAP_BYTES = 6144;
inline constexpr std::size_t ATTRIBUTE_BYTES = 768;
inline constexpr std::size_t SCREEN_BYTES = BITMAP_BYTES + ATTRIBUTE_BYTES;
static_assert(SCREEN_BYTES == 6912);

inline constexpr int SCREEN_WIDTH = 256;
inline constexpr int SCREEN_HEIGHT = 192;
inline constexpr std::size_t SCREEN_PIXELS = std::size_t{256} * 192;

inline constexpr int FRAME_WIDTH = 320;
inline constexpr int FRAME_HEIGHT = 200;
/// Every picture buffer holds a whole 320x200 frame, so that it can be framed in place.
inline constexpr std::size_t FRAME_BYTES = std::size_t{320} * 200;
static_assert(FRAME_BYTES == 64000);

/// The Spectrum display file: a 6144-byte bitmap in the interleaved row order, then 768
/// attributes (bits 0..2 ink, 3..5 paper, 6 bright, 7 flash).
using ScreenImage = std::array<std::uint8_t, SCREEN_BYTES>;

/// Palette indices, row-major, width x height with no gap between rows, at the start of a
/// 64000-byte buffer. After framing the buffer holds the 320x200 frame.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(FRAME_BYTES);
};

/// Returns the offset in the bitmap of pixel row y (0..191), byte column 0.
constexpr std::size_t bitmap_row_offset(int y) {
    auto row = static_cast<std::size_t>(y);
    return (row / 64) * 2048 + (row % 8) * 256 + ((row / 8) % 8) * 32;
}

}  // namespace mirva::screen
