#include "screen/render.h"

#include <utility>

namespace mirva::screen {

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
                    auto set = static_cast<std::uint8_t>(ink + bright);
                    auto clear = static_cast<std::uint8_t>(paper + bright);
                    for (int bit = 7; bit >= 0; --bit)
                        out[position++] = ((bits >> bit) & 1) ? set : clear;
                }
            }
        }
    }
    return picture;
}

}  // namespace mirva::screen
