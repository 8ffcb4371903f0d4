#include "containers/z80.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::containers {
screen::ScreenImage read_z80_screen(cli::ByteSource&, std::string_view, std::uint8_t&) {
    cli::error("Z80: formato aun no disponible");
}
}  // namespace mirva::containers
