#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "screen/options.h"
#include "screen/render.h"
#include "screen/screen_image.h"

namespace mirva::screen {

/// The rows of the picture written from a screen under the options, in one flash phase: the
/// screen rendered with -b and -i, the border around it with --border, every pixel N x N with
/// --scale=N. Each row is made when it is asked for (in any order; in order, a row of the
/// screen is rendered once for all the rows its scale makes), so a writer never holds the whole
/// picture.
class WrittenRows {
public:
    /// Takes the screen, its border colour (only the low three bits are shown), the options and
    /// the flash phase; the screen must outlive the rows.
    WrittenRows(const ScreenImage& screen, std::uint8_t border_colour, const Options& options,
                bool flash_phase);

    /// The size of the picture: written_size of the options.
    PictureSize size() const { return size_; }
    /// Row y, 0 <= y < size().height, of size().width spectrum_palette indices.
    std::span<const std::uint8_t> operator()(int y) const;

private:
    const ScreenImage& screen_;
    Options options_;
    bool flash_phase_;
    std::uint8_t border_;
    PictureSize size_;
    mutable std::vector<std::uint8_t> row_;
    mutable int made_ = -1;  // The unscaled row that row_ holds, or -1.
    mutable CellColours colours_;
};

/// True when the screen looks different in its two flash phases under the options: some cell
/// has its flash bit set and an ink that differs from its paper.
bool has_visible_flash(const ScreenImage& screen, const Options& options);

}  // namespace mirva::screen
