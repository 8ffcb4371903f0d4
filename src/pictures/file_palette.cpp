#include "pictures/file_palette.h"

#include <cassert>

namespace mirva::pictures {

void load_file_colours(std::span<const std::uint8_t> table, screen::Palette& palette) {
    assert(table.size() % 3 == 0 && table.size() / 3 <= palette.size());
    for (std::size_t entry = 0; entry < table.size() / 3; ++entry) {
        palette[entry] = {static_cast<std::uint8_t>(table[3 * entry] >> 2),
                          static_cast<std::uint8_t>(table[3 * entry + 1] >> 2),
                          static_cast<std::uint8_t>(table[3 * entry + 2] >> 2)};
    }
}

}  // namespace mirva::pictures
