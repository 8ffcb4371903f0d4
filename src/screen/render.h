#pragma once

#include "screen/screen_image.h"

namespace mirva::screen {

/// Takes a screen, the -b and -i flags and a flash phase; returns the 256x192 picture of
/// spectrum_palette indices (phase 1 swaps ink and paper in flashing cells).
Picture render_screen(const ScreenImage& screen, bool bw, bool inverse, bool flash_phase);

}  // namespace mirva::screen
