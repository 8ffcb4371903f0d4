#include "display/sdl.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::display {
std::unique_ptr<Display> open_sdl_display() {
    cli::error(cli::MSG_NO_GRAPHICS);
}
}  // namespace mirva::display
