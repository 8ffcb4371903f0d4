#include "screen/render.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace mirva::screen {

namespace {

inline constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101;

// For each bitmap byte, eight bytes in memory order of 0xFF for a set bit and 0x00 for a clear
// one, the leftmost pixel (bit 7) first.
inline constexpr std::array<std::uint64_t, 256> BIT_MASKS = [] {
    std::array<std::uint64_t, 256> masks{};
    for (unsigned bits = 0; bits < masks.size(); ++bits) {
        std::array<std::uint8_t, 8> bytes{};
        for (unsigned k = 0; k < 8; ++k)
            bytes[k] = ((bits >> (7 - k)) & 1) ? 0xFF : 0x00;
        masks[bits] = std::bit_cast<std::uint64_t>(bytes);
    }
    return masks;
}();

}  // namespace

Picture render_screen(const ScreenImage& screen, bool bw, bool inverse, bool flash_phase) {
    Picture picture;
    picture.width = SCREEN_WIDTH;
    picture.height = SCREEN_HEIGHT;
    auto& out = picture.pixels;

    // The bright offset carries from one byte to the next; with -b it stays 8 all along.
    unsigned bright = 8;
    std::size_t position = 0;
    for (std::size_t third = 0; third < 3; ++third) {
        for (std::size_t row = 0; row < 8; ++row) {
            for (std::size_t line = 0; line < 8; ++line) {
                for (std::size_t column = 0; column < 32; ++column) {
                    std::uint8_t bits = screen[third * 2048 + line * 256 + row * 32 + column];
                    std::uint8_t attribute = screen[BITMAP_BYTES + third * 256 + row * 32 + column];
                    unsigned ink = attribute & 0x07;           // F B PPP III: ink bits.
                    unsigned paper = (attribute >> 3) & 0x07;  // Paper bits.
                    if (bw) {
                        ink = 7;
                        paper = 0;
                    }
                    if (inverse)
                        std::swap(ink, paper);
                    if (!bw)
                        bright = (attribute & 0x40) ? 8 : 0;
                    if ((attribute & 0x80) && flash_phase)
                        std::swap(ink, paper);
                    // All eight pixels at once: ink where the mask of the byte has 0xFF, paper
                    // where it has 0x00.
                    const std::uint64_t mask = BIT_MASKS[bits];
                    const std::uint64_t eight = (mask & (ink + bright) * EVERY_BYTE) |
                                                (~mask & (paper + bright) * EVERY_BYTE);
                    std::memcpy(&out[position], &eight, sizeof eight);
                    position += 8;
                }
            }
        }
    }
    return picture;
}

}  // namespace mirva::screen
