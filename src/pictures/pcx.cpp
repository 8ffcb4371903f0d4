#include "pictures/pcx.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::pictures {
screen::Picture read_pcx_picture(cli::ByteSource&, screen::Palette&) {
    cli::error("PCX: formato aun no disponible");
}
std::vector<std::uint8_t> write_pcx_screen(const screen::ScreenImage&, bool, bool) {
    cli::error("PCX: formato aun no disponible");
}
}  // namespace mirva::pictures
