#include "screen/render.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace mirva::screen {

namespace {

inline constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101;

}  // namespace

void find_cell_colours(const ScreenImage& screen, int y, bool bw, bool inverse, bool flash_phase,
                       CellColours& colours) {
    const int character_row = y / 8;
    if (colours.character_row == character_row)
        return;
    colours.character_row = character_row;
    const std::size_t attributes = BITMAP_BYTES + static_cast<std::size_t>(character_row) * 32;
    // With -b the bright offset is 8 for every byte.
    unsigned bright = 8;
    for (std::size_t column = 0; column < 32; ++column) {
        std::uint8_t attribute = screen[attributes + column];
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
        // Ink and paper share the bright offset, so the bits between them are those of ink ^ paper.
        colours.paper[column] = (paper + bright) * EVERY_BYTE;
        colours.ink_flip[column] = (ink ^ paper) * EVERY_BYTE;
    }
}

void render_row_in(const ScreenImage& screen, int y, const CellColours& colours,
                   std::span<std::uint8_t, SCREEN_WIDTH> out) {
    const std::size_t bitmap = bitmap_row_offset(y);
    for (std::size_t column = 0; column < 32; ++column) {
        // All eight pixels at once: ink where the mask of the byte has 0xFF, paper where it
        // has 0x00.
        const std::uint64_t eight = cell_pixels(colours, column, screen[bitmap + column]);
        std::memcpy(out.subspan(column * 8, 8).data(), &eight, sizeof eight);
    }
}

void render_row(const ScreenImage& screen, int y, bool bw, bool inverse, bool flash_phase,
                std::span<std::uint8_t, SCREEN_WIDTH> out) {
    CellColours colours;
    find_cell_colours(screen, y, bw, inverse, flash_phase, colours);
    render_row_in(screen, y, colours, out);
}

Picture render_screen(const ScreenImage& screen, bool bw, bool inverse, bool flash_phase) {
    Picture picture;
    picture.width = SCREEN_WIDTH;
    picture.height = SCREEN_HEIGHT;
    CellColours colours;
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        auto row = std::span(picture.pixels).subspan(static_cast<std::size_t>(y) * SCREEN_WIDTH);
        find_cell_colours(screen, y, bw, inverse, flash_phase, colours);
        render_row_in(screen, y, colours, row.first<SCREEN_WIDTH>());
    }
    return picture;
}

}  // namespace mirva::screen
