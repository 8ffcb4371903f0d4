#pragma once

#include <memory>

#include "display/graphics.h"
#include "screen/options.h"

namespace mirva::cli {

/// Returns the display a source is shown on: with --terminal the terminal; otherwise a window
/// or the console's screen where SDL opens one, and the terminal where it does not. Fails with
/// "No se puede iniciar el modo grafico" when neither can be had, and with "No se encuentra la
/// biblioteca %s" when the terminal viewer's library is missing.
std::unique_ptr<display::Display> open_display(const screen::Options& options);

}  // namespace mirva::cli
