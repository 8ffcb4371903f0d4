#include "screen/written_rows.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/failure.h"

namespace mirva::screen {

WrittenRows::WrittenRows(const ScreenImage& screen, std::uint8_t border_colour,
                         const Options& options, bool flash_phase)
    : screen_(screen),
      options_(options),
      flash_phase_(flash_phase),
      // The Spectrum takes its border from the low three bits written to port 0xFE.
      border_(static_cast<std::uint8_t>(border_colour & 0x07)),
      size_(written_size(options)) {
    base::require(options.scale >= 1 && options.scale <= MAX_SCALE);
    // Room for the last pixel's eight copies past the row's end.
    row_.resize(static_cast<std::size_t>(size_.width) + sizeof(std::uint64_t));
}

std::span<const std::uint8_t> WrittenRows::operator()(int y) const {
    base::require(y >= 0 && y < size_.height);
    const int scale = options_.scale;
    const int unscaled = y / scale;
    const auto row =
        std::span<const std::uint8_t>(row_).first(static_cast<std::size_t>(size_.width));
    if (unscaled == made_)
        return row;
    made_ = unscaled;
    const int top = options_.border ? BORDER_HEIGHT : 0;
    const auto side = static_cast<std::size_t>(options_.border ? BORDER_WIDTH * scale : 0);
    const auto end = row_.begin() + static_cast<std::ptrdiff_t>(size_.width);
    if (unscaled < top || unscaled >= top + SCREEN_HEIGHT) {
        std::fill(row_.begin(), end, border_);
        return row;
    }
    find_cell_colours(screen_, unscaled - top, options_.bw, options_.inverse, flash_phase_,
                      colours_);
    std::uint8_t* out = row_.data() + side;
    if (scale == 1) {
        render_row_in(screen_, unscaled - top, colours_,
                      std::span<std::uint8_t, SCREEN_WIDTH>(out, SCREEN_WIDTH));
        out += SCREEN_WIDTH;
    } else {
        std::array<std::uint8_t, SCREEN_WIDTH> rendered{};
        render_row_in(screen_, unscaled - top, colours_, rendered);
        static_assert(MAX_SCALE <= sizeof(std::uint64_t));
        // Eight copies of each pixel at once (scale is at most 8): the next pixel's copies, or
        // the border after the last, cover the ones past its scale.
        for (std::uint8_t pixel : rendered) {
            const std::uint64_t copies = pixel * std::uint64_t{0x0101010101010101};
            std::memcpy(out, &copies, sizeof copies);
            out += scale;
        }
    }
    std::fill_n(row_.begin(), side, border_);
    std::fill(row_.begin() + (out - row_.data()), end, border_);
    return row;
}

bool has_visible_flash(const ScreenImage& screen, const Options& options) {
    for (std::size_t cell = 0; cell < ATTRIBUTE_BYTES; ++cell) {
        const std::uint8_t attribute = screen[BITMAP_BYTES + cell];  // F B PPP III.
        if ((attribute & 0x80) == 0)
            continue;
        // With -b every ink is white and every paper black; -i swaps them, which changes no
        // difference.
        if (options.bw || (attribute & 0x07) != ((attribute >> 3) & 0x07))
            return true;
    }
    return false;
}

}  // namespace mirva::screen
