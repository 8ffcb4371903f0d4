#pragma once

#include <memory>

#include "display/graphics.h"

namespace mirva::display {

/// Returns the display the viewers draw on in the controlling terminal, with libchafa loaded at
/// run time; fails with "No se puede iniciar el modo grafico" when the process has no
/// controlling terminal and with "No se encuentra la biblioteca %s" when libchafa or GLib is
/// missing.
std::unique_ptr<Display> open_terminal_display();

}  // namespace mirva::display
