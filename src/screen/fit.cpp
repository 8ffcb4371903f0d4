#include "screen/fit.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::screen {
ScreenImage picture_to_screen(Picture&, const Palette&) {
    cli::error("Conversion aun no disponible");
}
}  // namespace mirva::screen
