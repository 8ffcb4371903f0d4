#include "display/terminal_layout.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "screen/screen_image.h"

namespace mirva::display {

namespace {

// Returns numerator / denominator rounded to the nearest whole number (both positive).
std::int64_t divide_rounded(std::int64_t numerator, std::int64_t denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

}  // namespace

TerminalLayout terminal_layout(const TerminalSize& size) {
    constexpr std::int64_t W = screen::FRAME_WIDTH;
    constexpr std::int64_t H = screen::FRAME_HEIGHT;
    // A terminal that gives no size (a serial line's, a new pseudo-terminal's) is taken as a
    // VT100's 80x24.
    bool size_known = size.columns > 0 && size.rows > 0;
    int columns = size_known ? size.columns : 80;
    int rows = size_known ? size.rows : 24;
    bool cell_known = size.cell_width > 0 && size.cell_height > 0;
    std::int64_t cell_width = cell_known ? size.cell_width : ASSUMED_CELL_WIDTH;
    std::int64_t cell_height = cell_known ? size.cell_height : ASSUMED_CELL_HEIGHT;

    // The frame fills the width when the terminal is wider in pixels than 320:200 allows, and
    // the height otherwise; the other side is rounded to whole cells.
    std::int64_t width_pixels = columns * cell_width;
    std::int64_t height_pixels = rows * cell_height;
    TerminalLayout layout;
    if (width_pixels * H <= height_pixels * W) {
        layout.columns = columns;
        auto wanted = divide_rounded(width_pixels * H, W * cell_height);
        layout.rows = static_cast<int>(std::clamp<std::int64_t>(wanted, 1, rows));
    } else {
        layout.rows = rows;
        auto wanted = divide_rounded(height_pixels * W, H * cell_width);
        layout.columns = static_cast<int>(std::clamp<std::int64_t>(wanted, 1, columns));
    }
    layout.column = (columns - layout.columns) / 2;
    layout.row = (rows - layout.rows) / 2;
    return layout;
}

std::vector<std::uint8_t> scale_nearest(std::span<const std::uint8_t> rgba, int width, int height,
                                        int target_width, int target_height) {
    assert(width > 0 && height > 0 && target_width > 0 && target_height > 0);
    assert(rgba.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    // The source column under each target column's centre, worked out once.
    std::vector<std::size_t> source_columns(static_cast<std::size_t>(target_width));
    for (int x = 0; x < target_width; ++x) {
        auto column = (std::int64_t{2} * x + 1) * width / (std::int64_t{2} * target_width);
        source_columns[static_cast<std::size_t>(x)] = static_cast<std::size_t>(column) * 4;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(target_width) * 4;
    std::vector<std::uint8_t> scaled(row_bytes * static_cast<std::size_t>(target_height));
    std::int64_t previous_row = -1;
    for (int y = 0; y < target_height; ++y) {
        auto row = (std::int64_t{2} * y + 1) * height / (std::int64_t{2} * target_height);
        auto out =
            scaled.begin() + static_cast<std::ptrdiff_t>(row_bytes * static_cast<std::size_t>(y));
        // A row scaled up repeats the one above it.
        if (row == previous_row) {
            std::copy_n(out - static_cast<std::ptrdiff_t>(row_bytes), row_bytes, out);
            continue;
        }
        previous_row = row;
        auto source_row = rgba.subspan(static_cast<std::size_t>(row * width) * 4,
                                       static_cast<std::size_t>(width) * 4);
        for (std::size_t offset : source_columns) {
            std::copy_n(source_row.begin() + static_cast<std::ptrdiff_t>(offset), 4, out);
            out += 4;
        }
    }
    return scaled;
}

TerminalMode choose_terminal_mode(const TerminalAbilities& abilities) {
    if (abilities.kitty)
        return TerminalMode::kitty;
    if (abilities.iterm2)
        return TerminalMode::iterm2;
    if (abilities.sixels)
        return TerminalMode::sixels;
    if (abilities.truecolour)
        return TerminalMode::truecolour;
    if (abilities.colours_256)
        return TerminalMode::colours_256;
    return TerminalMode::colours_16;
}

}  // namespace mirva::display
