#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "screen/options.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// Takes a screen dump; returns its screen. The border colour is left as it is. Fails with
/// "Error leyendo del fichero %s" when the file is too short.
screen::ScreenImage read_scr_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

/// Returns the 6912 screen bytes as a file: the border, options and size change nothing.
std::vector<std::uint8_t> write_scr_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

}  // namespace mirva::containers
