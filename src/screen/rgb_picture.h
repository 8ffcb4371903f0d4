#pragma once

#include <cstdint>
#include <vector>

namespace mirva::screen {

/// A picture in its own colours, without a palette.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // 8-bit R,G,B per pixel, row-major
};

}  // namespace mirva::screen
