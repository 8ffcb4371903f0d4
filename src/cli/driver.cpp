#include "cli/driver.h"

#include <cstdio>

#include "base/failure.h"
#include "base/file_source.h"
#include "cli/arguments.h"
#include "cli/files.h"
#include "cli/help.h"
#include "display/viewers.h"
#include "screen/fit.h"
#include "screen/framing.h"
#include "screen/palette_options.h"

namespace mirva::cli {

namespace {

// The pair rules: what may be made of what, and a destination that must not exist yet.
void check_request(const Request& request) {
    Family source_family = family_of(request.source_kind);
    if (source_family == family_of(request.destination_kind) && source_family != FAMILY_SCREEN)
        base::error(base::MSG_SAME_FAMILY);
    if (request.destination_kind != KIND_NONE &&
        kind_row(request.destination_kind).write == nullptr)
        base::error(base::MSG_BAD_DESTINATION);
    if (!request.destination.empty() && destination_exists(request.destination))
        base::fatal(base::MSG_DESTINATION_EXISTS, request.destination);
}

void print(const std::string& text) {
    (void)std::fwrite(text.data(), 1, text.size(), stdout);
    (void)std::fflush(stdout);
}

}  // namespace

int run(std::span<const std::string> arguments, const DisplayOpener& open_display) {
    drop_privileges();
    Request request = parse_arguments(arguments);
    if (request.action == Action::help) {
        print(help_text());
        return 0;
    }
    if (request.action == Action::version) {
        print(version_text());
        return 0;
    }
    check_request(request);
    const screen::Options& options = request.options;
    const KindRow& source_row = kind_row(request.source_kind);
    const bool show = request.destination.empty();

    auto source = base::open_source(request.source);
    std::uint8_t border_colour = 0;
    screen::ScreenImage screen{};
    if (source_row.read_picture != nullptr) {
        screen::Palette picture_palette{};
        screen::Picture picture = source_row.read_picture(*source, picture_palette);
        screen::apply_palette_options(picture_palette, options);
        if (show) {
            auto display = open_display(options);
            display::view_picture(*display, picture, picture_palette, border_colour);
            drain_terminal_input();
            return 0;
        }
        screen::crop_to_screen(picture);
        screen = screen::picture_to_screen(picture, picture_palette);
    } else {
        screen = source_row.read_screen(*source, request.source, border_colour);
        if (show) {
            auto display = open_display(options);
            display::view_screen(*display, screen, options, border_colour);
            drain_terminal_input();
            return 0;
        }
    }

    // The destination is created only now, when the source has been read in full.
    const KindRow& destination_row = kind_row(request.destination_kind);
    write_new_file(request.destination, destination_row.write(screen, border_colour, options,
                                                              screen::written_size(options)));
    drain_terminal_input();
    return 0;
}

}  // namespace mirva::cli
