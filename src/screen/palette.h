#pragma once

#include <array>
#include <cstdint>

namespace mirva::screen {

/// One palette colour; each component 0..63.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

using Palette = std::array<Rgb, 256>;

/// The 16 Spectrum colours: index = colour (bit 0 blue, bit 1 red, bit 2 green) + 8 x bright.
inline constexpr std::array<Rgb, 16> spectrum_palette{{
    {0, 0, 0},
    {0, 0, 50},
    {50, 0, 0},
    {50, 0, 50},
    {0, 50, 0},
    {0, 50, 50},
    {50, 50, 0},
    {50, 50, 50},
    {0, 0, 0},
    {0, 0, 63},
    {63, 0, 0},
    {63, 0, 63},
    {0, 63, 0},
    {0, 63, 63},
    {63, 63, 0},
    {63, 63, 63},
}};

}  // namespace mirva::screen
