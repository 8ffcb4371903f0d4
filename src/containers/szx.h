#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/byte_source.h"
#include "screen/screen_image.h"

namespace mirva::containers {

/// A RAM page of a SZX snapshot, as it is once expanded.
inline constexpr std::size_t SZX_PAGE_BYTES = 16384;

/// Expands the zlib stream of a compressed page read from source, no more than stored bytes;
/// start (at most a page) receives the page's first bytes, the rest is checked and dropped.
/// False when the stream is damaged, ends before the page is whole, or holds more.
bool inflate_szx_page(base::ByteSource& source, std::uint64_t stored,
                      std::span<std::uint8_t> start);

/// Takes a SZX (zx-state) snapshot; returns the screen on display (RAM page 7 when a 128K
/// machine shows its second screen, else page 5) and sets border_colour to 0..7 from its
/// registers. Fails with "Error leyendo del fichero %s" when the page or the registers are
/// missing or a chunk is damaged.
screen::ScreenImage read_szx_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour);

}  // namespace mirva::containers
