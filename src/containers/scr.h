#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "screen/options.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// The attribute given to a bitmap saved without attributes: black ink on white paper, as the
/// Spectrum starts.
inline constexpr std::uint8_t SCR_BITMAP_ATTRIBUTE = 0x38;  // F B PPP III: paper 7, ink 0.

/// Takes a screen dump; returns its screen. A +3DOS header ("PLUS3DOS", 0x1A, 128 bytes) is
/// skipped; exactly 6144 bytes after it are a bitmap, given SCR_BITMAP_ATTRIBUTE. The border
/// colour is left as it is. Fails with "Error leyendo del fichero %s" when the file is too short.
screen::ScreenImage read_scr_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

/// Returns the 6912 screen bytes as a file: the border, options and size change nothing.
std::vector<std::uint8_t> write_scr_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size);

}  // namespace mirva::containers
