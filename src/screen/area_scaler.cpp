#include "screen/area_scaler.h"

#include <algorithm>
#include <cassert>

namespace mirva::screen {

PictureSize fitted_size(int width, int height) {
    assert(width >= 1 && width <= MAX_DECODED_SIDE && height >= 1 && height <= MAX_DECODED_SIDE);
    if (width <= SCREEN_WIDTH && height <= SCREEN_HEIGHT)
        return {width, height};
    // Products of sides up to 16384 and 256 stay far inside 64 bits.
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    auto rounded = [](std::uint64_t numerator, std::uint64_t denominator) {
        return static_cast<int>(
            std::max<std::uint64_t>(1, (2 * numerator + denominator) / (2 * denominator)));
    };
    // The side that is longer relative to the screen's fills it; the other follows.
    if (w * SCREEN_HEIGHT >= h * SCREEN_WIDTH)
        return {SCREEN_WIDTH, rounded(h * SCREEN_WIDTH, w)};
    return {rounded(w * SCREEN_HEIGHT, h), SCREEN_HEIGHT};
}

std::vector<AreaScaler::Share> AreaScaler::shares(int source_length, int length) {
    // Source pixel s spans units [s length, (s + 1) length); result pixel r spans
    // [r source_length, (r + 1) source_length). A source pixel is no longer than a result pixel,
    // so it falls in one or two of them.
    const auto units_in = static_cast<std::uint32_t>(length);
    const auto units_out = static_cast<std::uint32_t>(source_length);
    std::vector<Share> result(static_cast<std::size_t>(source_length));
    for (std::uint32_t s = 0; s < units_out; ++s) {
        const std::uint32_t start = s * units_in;  // At most 16384 x 256.
        const std::uint32_t first = start / units_out;
        const std::uint32_t end_of_first = (first + 1) * units_out;
        result[s] = {first, std::min(start + units_in, end_of_first) - start};
    }
    return result;
}

AreaScaler::AreaScaler(int source_width, int source_height, PictureSize size)
    : source_width_(source_width),
      source_height_(source_height),
      size_(size),
      same_size_(size.width == source_width && size.height == source_height) {
    assert(source_width >= 1 && source_width <= MAX_DECODED_SIDE);
    assert(source_height >= 1 && source_height <= MAX_DECODED_SIDE);
    assert(size.width >= 1 && size.width <= source_width);
    assert(size.height >= 1 && size.height <= source_height);
    const auto pixels =
        static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
    if (same_size_) {
        copied_.resize(3 * pixels);
        return;
    }
    column_shares_ = shares(source_width, size.width);
    row_shares_ = shares(source_height, size.height);
    // One spare pixel: the second share of the last column is always zero units.
    line_.resize(3 * (static_cast<std::size_t>(size.width) + 1));
    sums_.resize(3 * pixels);
}

void AreaScaler::add_row(int y, std::span<const std::uint8_t> row, int x_first, int x_step) {
    assert(y >= 0 && y < source_height_ && x_first >= 0 && x_step >= 1);
    assert(row.size() >= 3 * static_cast<std::size_t>(source_width_));
    const auto width = static_cast<std::size_t>(source_width_);
    const auto first = static_cast<std::size_t>(x_first);
    const auto step = static_cast<std::size_t>(x_step);
    if (same_size_) {
        const std::size_t row_start = static_cast<std::size_t>(y) * 3 * width;
        if (first == 0 && step == 1) {
            std::copy_n(row.begin(), 3 * width, copied_.begin() + std::ptrdiff_t(row_start));
            return;
        }
        for (std::size_t x = first; x < width; x += step) {
            for (std::size_t c = 0; c < 3; ++c)
                copied_[row_start + 3 * x + c] = row[3 * x + c];
        }
        return;
    }

    // Across: each result pixel of the line gathers at most source_width units x 255.
    std::fill(line_.begin(), line_.end(), 0);
    const auto units_across = static_cast<std::uint32_t>(size_.width);
    for (std::size_t x = first; x < width; x += step) {
        const Share& share = column_shares_[x];
        const std::uint32_t rest = units_across - share.units;
        const std::size_t at = 3 * static_cast<std::size_t>(share.first);
        for (std::size_t c = 0; c < 3; ++c) {
            const std::uint32_t value = row[3 * x + c];
            line_[at + c] += share.units * value;
            line_[at + 3 + c] += rest * value;
        }
    }

    // Down: the line joins the one or two result rows the source row falls in.
    const Share& share = row_shares_[static_cast<std::size_t>(y)];
    const std::uint64_t rest = static_cast<std::uint32_t>(size_.height) - share.units;
    const std::size_t line_length = 3 * static_cast<std::size_t>(size_.width);
    const std::size_t at = static_cast<std::size_t>(share.first) * line_length;
    for (std::size_t i = 0; i < line_length; ++i)
        sums_[at + i] += static_cast<std::uint64_t>(line_[i]) * share.units;
    if (rest != 0) {
        for (std::size_t i = 0; i < line_length; ++i)
            sums_[at + line_length + i] += line_[i] * rest;
    }
}

RgbPicture AreaScaler::finish(std::array<std::uint8_t, 3> margin) {
    RgbPicture picture{size_.width, size_.height, {}, margin};
    if (same_size_) {
        picture.rgb = std::move(copied_);
        copied_.clear();
        return picture;
    }
    // Every result pixel covers source_width x source_height square units.
    const std::uint64_t area =
        static_cast<std::uint64_t>(source_width_) * static_cast<std::uint64_t>(source_height_);
    picture.rgb.resize(sums_.size());
    for (std::size_t i = 0; i < sums_.size(); ++i)
        picture.rgb[i] = static_cast<std::uint8_t>((sums_[i] + area / 2) / area);  // 0..255.
    return picture;
}

}  // namespace mirva::screen
