#include "screen/render.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace mirva::screen {

namespace {

inline constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101;

// The colours of a cell: the paper's index, and the bits that turn it into the ink's.
struct AttributeColours {
    std::uint8_t paper = 0;
    std::uint8_t ink_flip = 0;
};

// The colours of every attribute byte, for each of the eight settings of -b (1), -i (2) and the
// flash phase (4).
constexpr std::array<std::array<AttributeColours, 256>, 8> attribute_colours() {
    std::array<std::array<AttributeColours, 256>, 8> table{};
    for (unsigned setting = 0; setting < 8; ++setting) {
        const bool bw = (setting & 1) != 0;
        const bool inverse = (setting & 2) != 0;
        const bool flash_phase = (setting & 4) != 0;
        for (unsigned attribute = 0; attribute < 256; ++attribute) {
            unsigned ink = attribute & 0x07;           // F B PPP III: ink bits.
            unsigned paper = (attribute >> 3) & 0x07;  // Paper bits.
            // With -b every cell is white ink on black paper, bright.
            const unsigned bright = bw || (attribute & 0x40) ? 8 : 0;
            if (bw) {
                ink = 7;
                paper = 0;
            }
            if (inverse)
                std::swap(ink, paper);
            if ((attribute & 0x80) && flash_phase)
                std::swap(ink, paper);
            // Ink and paper share the bright offset, so the bits between them are those of
            // ink ^ paper.
            table[setting][attribute] = {static_cast<std::uint8_t>(paper + bright),
                                         static_cast<std::uint8_t>(ink ^ paper)};
        }
    }
    return table;
}
inline constexpr std::array<std::array<AttributeColours, 256>, 8> ATTRIBUTE_COLOURS =
    attribute_colours();

}  // namespace

void find_cell_colours(const ScreenImage& screen, int y, bool bw, bool inverse, bool flash_phase,
                       CellColours& colours) {
    const int character_row = y / 8;
    if (colours.character_row == character_row)
        return;
    colours.character_row = character_row;
    const auto& table =
        ATTRIBUTE_COLOURS[(bw ? 1U : 0U) | (inverse ? 2U : 0U) | (flash_phase ? 4U : 0U)];
    const std::size_t attributes = BITMAP_BYTES + static_cast<std::size_t>(character_row) * 32;
    for (std::size_t column = 0; column < 32; ++column) {
        const AttributeColours cell = table[screen[attributes + column]];
        colours.paper[column] = cell.paper * EVERY_BYTE;
        colours.ink_flip[column] = cell.ink_flip * EVERY_BYTE;
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
