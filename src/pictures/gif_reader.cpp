#include "pictures/gif_reader.h"

#include "cli/failure.h"

// FIXME: placeholder until this format's code lands; the route stops with a clear failure.
namespace mirva::pictures {
screen::Picture read_gif_picture(cli::ByteSource&, screen::Palette&) {
    cli::error("GIF: formato aun no disponible");
}
}  // namespace mirva::pictures
