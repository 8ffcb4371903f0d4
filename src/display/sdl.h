#pragma once

#include <memory>

#include "display/graphics.h"

namespace mirva::display {

/// Returns the display the viewers draw on; fails with "No se puede iniciar el modo grafico"
/// when none can be opened.
std::unique_ptr<Display> open_sdl_display();

}  // namespace mirva::display
