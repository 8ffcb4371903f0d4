#pragma once

#include "screen/options.h"
#include "screen/palette.h"

namespace mirva::screen {

/// Applies -b (every colour becomes grey, first) and -i (every colour inverted) to a picture's
/// palette of 6-bit components.
void apply_palette_options(Palette& palette, const Options& options);

/// Returns one colour of 6-bit components with -b and -i applied as apply_palette_options does.
Rgb apply_colour_options(Rgb colour, const Options& options);

}  // namespace mirva::screen
