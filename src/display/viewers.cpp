#include "display/viewers.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::display {
void view_screen(Display&, const screen::ScreenImage&, bool, bool, std::uint8_t) {
    cli::error(cli::MSG_NO_GRAPHICS);
}
void view_picture(Display&, screen::Picture&, const screen::Palette&, std::uint8_t) {
    cli::error(cli::MSG_NO_GRAPHICS);
}
}  // namespace mirva::display
