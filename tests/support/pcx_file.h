#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace mirva::testing {

/// A colour as files store it, each component 0..255.
using Rgb8 = std::array<std::uint8_t, 3>;

/// What a PCX file built for a test holds.
struct PcxPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels{};  // width x height palette indices, row-major.
    std::vector<Rgb8> palette{};         // Up to 256 colours; the rest of the file's are black.
    int bytes_per_line = 0;              // 0: the width rounded up to even, as most writers do.
    std::uint8_t padding = 0;            // The value of the bytes that pad a line.
};

/// Returns the bytes of an 8-bit, run-length coded PCX file of the picture, runs kept within
/// lines.
std::vector<std::uint8_t> make_pcx(const PcxPicture& picture);

}  // namespace mirva::testing
