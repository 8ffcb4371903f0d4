#include "containers/fixed_offset.h"

#include <array>

#include "base/failure.h"

namespace mirva::containers {

void read_border_byte(base::ByteSource& source, const FixedOffsetLayout& layout,
                      std::string_view path, std::uint8_t& border_colour) {
    if (!layout.border_offset)
        return;
    std::array<std::uint8_t, 1> byte{};
    if (!source.seek(*layout.border_offset))
        base::fatal(base::MSG_READ_SOURCE, path);
    base::read_exact(source, byte, base::MSG_READ_SOURCE, path);
    border_colour = byte[0];
}

screen::ScreenImage read_fixed_offset_screen(base::ByteSource& source,
                                             const FixedOffsetLayout& layout, std::string_view path,
                                             std::uint8_t& border_colour) {
    screen::ScreenImage screen{};
    if (!source.seek(layout.screen_offset))
        base::fatal(base::MSG_READ_SOURCE, path);
    base::read_exact(source, screen, base::MSG_READ_SOURCE, path);
    read_border_byte(source, layout, path, border_colour);
    return screen;
}

}  // namespace mirva::containers
