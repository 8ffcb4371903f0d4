#include "display/framing.h"
#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::display {
void frame_picture(std::span<std::uint8_t>, int, int, std::uint8_t) {
    cli::error("Encuadre aun no disponible");
}
}  // namespace mirva::display
