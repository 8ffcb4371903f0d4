#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "cli/run_state.h"
#include "display/graphics.h"
#include "screen/screen_image.h"

namespace mirva::cli {

using DisplayOpener = std::function<std::unique_ptr<display::Display>()>;

/// Applies -b (grey first) and -i to a picture's palette.
void apply_palette_options(RunState& state);

/// Centres a picture smaller than 256x192 in a 256x192 canvas of index 0, in place.
void crop_to_screen(screen::Picture& picture);

/// Runs one job for the arguments (without the program name): shows the source on the display
/// that open_display gives, or writes the destination. Returns 0; every failure throws.
int run(std::span<const std::string> arguments, const DisplayOpener& open_display);

}  // namespace mirva::cli
