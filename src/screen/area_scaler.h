#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "screen/options.h"
#include "screen/rgb_picture.h"

namespace mirva::screen {

/// Takes a picture's size (each side 1..16384); returns the size it takes on a screen: its own
/// when it fits in 256x192, else the largest of nearly the same proportions that fits, the
/// shorter side rounded to the nearest pixel and at least 1.
PictureSize fitted_size(int width, int height);

/// Scales a picture down by area averaging, taking its rows as a decoder gives them. Each
/// source pixel is a unit square; each pixel of the result is the mean of the source area under
/// it, every source pixel weighted by the part of it that the result pixel covers. The weights
/// are whole numbers (source pixels width_out units wide, result pixels width_in units), so the
/// means are exact, rounded to the nearest.
class AreaScaler {
public:
    /// Takes the source size (each side 1..16384) and the result's size, no larger in either.
    AreaScaler(int source_width, int source_height, PictureSize size);

    /// Adds the pixels x_first, x_first + x_step, ... of source row y (0..source_height - 1)
    /// from row, a whole row of source_width pixels of three bytes. Each source pixel must be
    /// added once, in any order.
    void add_row(int y, std::span<const std::uint8_t> row, int x_first = 0, int x_step = 1);

    /// Returns the scaled picture with that margin colour; called once, last.
    RgbPicture finish(std::array<std::uint8_t, 3> margin);

private:
    // The first result pixel a source column or row falls in and the units of it there; the rest
    // of its units fall in the next one.
    struct Share {
        std::uint32_t first = 0;
        std::uint32_t units = 0;
    };
    static std::vector<Share> shares(int source_length, int length);

    int source_width_;
    int source_height_;
    PictureSize size_;
    bool same_size_;
    std::vector<Share> column_shares_;
    std::vector<Share> row_shares_;
    std::vector<std::uint32_t> line_;   // One source row's horizontal sums, three per pixel.
    std::vector<std::uint64_t> sums_;   // Three per result pixel.
    std::vector<std::uint8_t> copied_;  // The result itself when no scaling is needed.
};

}  // namespace mirva::screen
