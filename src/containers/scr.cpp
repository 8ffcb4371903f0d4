#include "containers/scr.h"

#include "containers/fixed_offset.h"

namespace mirva::containers {

screen::ScreenImage read_scr_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour) {
    return read_fixed_offset_screen(source, SCR_LAYOUT, path, border_colour);
}

std::vector<std::uint8_t> write_scr_screen(const screen::ScreenImage& screen,
                                           std::uint8_t /*border_colour*/,
                                           const screen::Options& /*options*/,
                                           screen::PictureSize /*size*/) {
    return {screen.begin(), screen.end()};
}

}  // namespace mirva::containers
