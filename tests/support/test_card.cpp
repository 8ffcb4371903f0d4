#include "support/test_card.h"

namespace mirva::testing {

screen::ScreenImage make_test_card() {
    screen::ScreenImage card{};
    for (int y = 0; y < screen::SCREEN_HEIGHT; ++y) {
        int cell_row = y / 8;
        int line = y % 8;
        for (int column = 0; column < 32; ++column) {
            std::uint8_t bits = 0;
            if (cell_row < 16) {
                // Colour bars: the left half of each 4-cell bar shows paper, the right half ink.
                bits = (column % 4) < 2 ? 0x00 : 0xFF;
            } else if (cell_row < 20) {
                bits = (line % 2) ? 0xAA : 0x55;  // A fine checkerboard.
            } else {
                bits = static_cast<std::uint8_t>(0x80 >> line);  // A diagonal in every cell.
            }
            card[screen::bitmap_row_offset(y) + static_cast<std::size_t>(column)] = bits;
        }
    }
    for (int cell_row = 0; cell_row < 24; ++cell_row) {
        for (int column = 0; column < 32; ++column) {
            int colour = column / 4;
            int attribute = 0;
            if (cell_row < 8) {
                attribute = (colour << 3) | (7 - colour);  // Paper colour, contrasting ink.
            } else if (cell_row < 16) {
                attribute = 0x40 | (colour << 3) | (7 - colour);  // The same, bright.
            } else if (cell_row < 20) {
                attribute = 0x80 | (colour << 3) | ((colour + 2) % 8);  // Flashing.
            } else {
                attribute = ((cell_row % 2) ? 0x40 : 0x00) | (1 << 3) | 6;  // Yellow on blue.
            }
            card[screen::BITMAP_BYTES + static_cast<std::size_t>(cell_row * 32 + column)] =
                static_cast<std::uint8_t>(attribute);
        }
    }
    return card;
}

std::vector<std::uint8_t> make_sna(const screen::ScreenImage& screen, std::uint8_t border) {
    constexpr std::size_t header = 27;
    std::vector<std::uint8_t> sna(header + 49152, 0);
    sna[0] = 0x3F;     // I register.
    sna[23] = 0x00;    // SP = 0x8000, low byte.
    sna[24] = 0x80;    // SP, high byte.
    sna[25] = 1;       // Interrupt mode 1; interrupts stay disabled (IFF2 = 0).
    sna[26] = border;  // Border colour.
    std::copy(screen.begin(), screen.end(), sna.begin() + header);
    // The program counter is popped from the stack: 0x8002, where JR -2 loops forever.
    std::size_t stack = header + (0x8000 - 0x4000);
    sna[stack] = 0x02;
    sna[stack + 1] = 0x80;
    sna[stack + 2] = 0x18;
    sna[stack + 3] = 0xFE;
    return sna;
}

std::vector<std::uint8_t> make_snapshot_file(const screen::ScreenImage& screen,
                                             std::size_t screen_offset, std::size_t border_offset,
                                             std::uint8_t border) {
    std::vector<std::uint8_t> file(screen_offset + screen.size(), 0x5A);
    std::copy(screen.begin(), screen.end(),
              file.begin() + static_cast<std::ptrdiff_t>(screen_offset));
    file[border_offset] = border;
    return file;
}

screen::ScreenImage make_random_screen(std::uint32_t seed) {
    screen::ScreenImage screen{};
    std::uint32_t state = seed == 0 ? 0x9E3779B9u : seed;
    for (auto& byte : screen) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return screen;
}

}  // namespace mirva::testing
