#include "containers/tap.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::containers {
screen::ScreenImage read_tap_screen(cli::ByteSource&, std::string_view) {
    cli::error("TAP: formato aun no disponible");
}
std::vector<std::uint8_t> write_tap_screen(const screen::ScreenImage&) {
    cli::error("TAP: formato aun no disponible");
}
}  // namespace mirva::containers
