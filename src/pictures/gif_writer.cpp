#include "pictures/gif_writer.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::pictures {
std::vector<std::uint8_t> write_gif_screen(const screen::ScreenImage&, bool, bool) {
    cli::error("GIF: formato aun no disponible");
}
}  // namespace mirva::pictures
