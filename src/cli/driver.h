#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "display/graphics.h"
#include "screen/options.h"

namespace mirva::cli {

/// Gives the display a source is shown on, as the options choose it.
using DisplayOpener =
    std::function<std::unique_ptr<display::Display>(const screen::Options& options)>;

/// Runs one job for the arguments (without the program name): shows the source on the display
/// that open_display gives, writes the destination, or prints --help or --version to standard
/// output. Returns 0; every failure throws.
int run(std::span<const std::string> arguments, const DisplayOpener& open_display);

}  // namespace mirva::cli
