#include "screen/written_rows.h"

#include <algorithm>
#include <array>

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
    row_.resize(static_cast<std::size_t>(size_.width));
}

std::span<const std::uint8_t> WrittenRows::operator()(int y) const {
    base::require(y >= 0 && y < size_.height);
    const int scale = options_.scale;
    const int unscaled = y / scale;
    if (unscaled == made_)
        return row_;
    made_ = unscaled;
    const int top = options_.border ? BORDER_HEIGHT : 0;
    const auto side = static_cast<std::size_t>(options_.border ? BORDER_WIDTH * scale : 0);
    if (unscaled < top || unscaled >= top + SCREEN_HEIGHT) {
        std::fill(row_.begin(), row_.end(), border_);
        return row_;
    }
    std::array<std::uint8_t, SCREEN_WIDTH> rendered{};
    find_cell_colours(screen_, unscaled - top, options_.bw, options_.inverse, flash_phase_,
                      colours_);
    render_row_in(screen_, unscaled - top, colours_, rendered);
    std::fill_n(row_.begin(), side, border_);
    auto out = row_.begin() + static_cast<std::ptrdiff_t>(side);
    for (std::uint8_t pixel : rendered)
        out = std::fill_n(out, scale, pixel);
    std::fill(out, row_.end(), border_);
    return row_;
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
