#include "cli/driver.h"

#include <cstring>

#include "cli/arguments.h"
#include "cli/failure.h"
#include "cli/files.h"
#include "containers/fixed_offset.h"
#include "containers/tap.h"
#include "containers/z80.h"
#include "display/framing.h"
#include "display/viewers.h"
#include "pictures/gif_reader.h"
#include "pictures/gif_writer.h"
#include "pictures/pcx.h"
#include "screen/fit.h"

namespace mirva::cli {

namespace {

struct Request {
    const std::string* source = nullptr;
    FileKind source_kind = KIND_NONE;
    const std::string* destination = nullptr;
    FileKind destination_kind = KIND_NONE;
};

// Classifies the arguments in order; the first one that is not allowed ends the run.
Request parse_arguments(std::span<const std::string> arguments, RunState& state) {
    Request request;
    for (const auto& argument : arguments) {
        FileKind kind = classify_argument(argument);
        if (kind == OPT_BW) {
            if (state.bw)
                usage();
            state.bw = true;
        } else if (kind == OPT_INVERSE) {
            if (state.inverse)
                usage();
            state.inverse = true;
        } else if (kind != KIND_NONE && request.source == nullptr) {
            request.source = &argument;
            request.source_kind = kind;
        } else if (kind != KIND_NONE && request.destination == nullptr) {
            request.destination = &argument;
            request.destination_kind = kind;
        } else {
            usage();  // An argument of no known kind, or a third file.
        }
    }
    if (request.source == nullptr)
        usage();
    return request;
}

void check_request(const Request& request) {
    FileKind source_family = family_of(request.source_kind);
    if (source_family == family_of(request.destination_kind) && source_family != FAMILY_SCREEN)
        error(MSG_SAME_FAMILY);
    FileKind destination = request.destination_kind;
    if (destination != KIND_NONE && destination != KIND_SCR && destination != KIND_TAP &&
        family_of(destination) != FAMILY_PICTURE)
        error(MSG_BAD_DESTINATION);
    if (request.destination != nullptr && destination_exists(*request.destination))
        fatal(MSG_DESTINATION_EXISTS, *request.destination);
}

screen::ScreenImage read_spectrum_source(const Request& request, RunState& state) {
    const std::string& path = *request.source;
    auto source = open_source(path);
    switch (request.source_kind) {
        case KIND_Z80:
        case KIND_SLT:
            return containers::read_z80_screen(*source, path, state.border_colour);
        case KIND_TAP:
            return containers::read_tap_screen(*source, path);
        default:
            return containers::read_fixed_offset_screen(*source, request.source_kind, path,
                                                        state.border_colour);
    }
}

screen::Picture read_picture_source(const Request& request, RunState& state) {
    auto source = open_source(*request.source);
    if (request.source_kind == KIND_GIF)
        return pictures::read_gif_picture(*source, state.picture_palette);
    return pictures::read_pcx_picture(*source, state.picture_palette);
}

std::vector<std::uint8_t> encode_destination(const Request& request,
                                             const screen::ScreenImage& screen,
                                             const RunState& state) {
    switch (request.destination_kind) {
        case KIND_GIF:
            return pictures::write_gif_screen(screen, state.bw, state.inverse);
        case KIND_PCX:
            return pictures::write_pcx_screen(screen, state.bw, state.inverse);
        case KIND_TAP:
            return containers::write_tap_screen(screen);
        default:
            return {screen.begin(), screen.end()};
    }
}

}  // namespace

void apply_palette_options(RunState& state) {
    for (auto& entry : state.picture_palette) {
        if (state.bw) {
            auto grey = static_cast<std::uint8_t>((entry.red + entry.green + entry.blue) / 3);
            entry = {grey, grey, grey};
        }
        if (state.inverse) {
            // Components of a loaded palette are 0..63, so 63 - v stays a component.
            entry.red = static_cast<std::uint8_t>(63 - entry.red);
            entry.green = static_cast<std::uint8_t>(63 - entry.green);
            entry.blue = static_cast<std::uint8_t>(63 - entry.blue);
        }
    }
}

void crop_to_screen(screen::Picture& picture) {
    if (picture.width == screen::SCREEN_WIDTH && picture.height == screen::SCREEN_HEIGHT)
        return;
    // A picture reader never sets a border, so the margins take palette index 0.
    display::frame_picture(picture.pixels, picture.width, picture.height, 0);
    // The 256x192 window at row 4, column 32 of the frame moves to the start, row by row; every
    // byte is read before it can be overwritten.
    constexpr std::size_t window = 4 * screen::FRAME_WIDTH + 32;
    for (std::size_t y = 0; y < screen::SCREEN_HEIGHT; ++y) {
        std::memmove(&picture.pixels[y * screen::SCREEN_WIDTH],
                     &picture.pixels[y * screen::FRAME_WIDTH + window], screen::SCREEN_WIDTH);
    }
    picture.width = screen::SCREEN_WIDTH;
    picture.height = screen::SCREEN_HEIGHT;
}

int run(std::span<const std::string> arguments, const DisplayOpener& open_display) {
    drop_privileges();
    RunState state;
    Request request = parse_arguments(arguments, state);
    check_request(request);

    screen::ScreenImage screen{};
    if (family_of(request.source_kind) == FAMILY_PICTURE) {
        screen::Picture picture = read_picture_source(request, state);
        apply_palette_options(state);
        if (request.destination == nullptr) {
            auto display = open_display();
            display::view_picture(*display, picture, state.picture_palette, state.border_colour);
            drain_terminal_input();
            return 0;
        }
        crop_to_screen(picture);
        screen = screen::picture_to_screen(picture, state.picture_palette);
    } else {
        screen = read_spectrum_source(request, state);
        if (request.destination == nullptr) {
            auto display = open_display();
            display::view_screen(*display, screen, state.bw, state.inverse, state.border_colour);
            drain_terminal_input();
            return 0;
        }
    }

    // The destination is created only now, when the source has been read in full.
    write_new_file(*request.destination, encode_destination(request, screen, state));
    drain_terminal_input();
    return 0;
}

}  // namespace mirva::cli
