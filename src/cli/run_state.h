#pragma once

#include <cstdint>

#include "screen/palette.h"

namespace mirva::cli {

/// What one run shares between its steps: the option flags, the palette of a loaded picture
/// and the border colour of a snapshot.
struct RunState {
    bool bw = false;
    bool inverse = false;
    screen::Palette picture_palette{};
    std::uint8_t border_colour = 0;
};

}  // namespace mirva::cli
