#include "cli/driver.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "base/failure.h"
#include "base/file_source.h"
#include "cli/arguments.h"
#include "cli/files.h"
#include "cli/help.h"
#include "display/viewers.h"
#include "screen/dither.h"
#include "screen/fit.h"
#include "screen/framing.h"
#include "screen/palette_options.h"
#include "screen/rgb_fit.h"
#include "screen/rgb_picture.h"

namespace mirva::cli {

namespace {

// The pair rules: what may be made of what, and a destination that must not exist yet.
void check_request(const Request& request) {
    Family source_family = family_of(request.source_kind);
    if (source_family == family_of(request.destination_kind) && source_family != FAMILY_SCREEN)
        base::error(base::MSG_SAME_FAMILY);
    if (request.destination_kind != KIND_NONE) {
        const KindRow& destination = kind_row(request.destination_kind);
        // A picture that cannot show both flash phases is refused with --flash; a screen
        // destination takes no options at all.
        if (destination.write == nullptr ||
            (request.options.flash && destination.family == FAMILY_PICTURE &&
             !destination.animates))
            base::error(base::MSG_BAD_DESTINATION);
    }
    if (!request.destination.empty() && destination_exists(request.destination))
        base::fatal(base::MSG_DESTINATION_EXISTS, request.destination);
}

// The screen of a 256x192 picture without a palette: the fit of its colours, -b and -i applied
// to them as to a palette's, or a dithering of them with -b and -i applied first.
screen::ScreenImage rgb_to_screen(screen::RgbPicture picture, const screen::Options& options) {
    if (options.dither == screen::Dither::none)
        return screen::rgb_picture_to_screen(picture, options);
    screen::apply_rgb_options(picture, options);
    return screen::dither_to_screen(picture, options.dither);
}

// Shows what view draws until a key is pressed; the job is then done.
template <typename View>
int show_until_key(const DisplayOpener& open_display, const screen::Options& options, View view) {
    auto display = open_display(options);
    view(*display);
    drain_terminal_input();
    return 0;
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
    const screen::Options& options = request.options;
    const bool show = request.destination.empty();
    const bool archive = family_of(request.source_kind) == FAMILY_ARCHIVE;
    // An archive's pair rules are those of its member, known only once the archive is read.
    if (!archive)
        check_request(request);

    auto file = base::open_source(request.source);
    base::ByteSource* source = file.get();
    std::optional<containers::ArchiveMember> member;
    std::optional<base::MemorySource> member_source;
    if (archive) {
        member = kind_row(request.source_kind)
                     .read_archive(*file, request.source, [](std::string_view name) {
                         return member_kind(name) != KIND_NONE;
                     });
        if (!member)
            base::fatal(base::MSG_ARCHIVE_WITHOUT_SCREEN, request.source);
        // From here on the member stands for the source, as if it had been given itself; its
        // messages name the archive.
        request.source_kind = member_kind(member->name);
        check_request(request);
        source = &member_source.emplace(member->bytes);
    }

    const KindRow& source_row = kind_row(request.source_kind);
    std::uint8_t border_colour = 0;
    screen::ScreenImage screen{};
    if (source_row.read_screen != nullptr) {
        screen = source_row.read_screen(*source, request.source, border_colour);
        if (show) {
            return show_until_key(open_display, options, [&](display::Display& display) {
                display::view_screen(display, screen, options, border_colour);
            });
        }
    } else if (source_row.read_rgb != nullptr) {
        screen::RgbPicture picture = source_row.read_rgb(*source);
        if (show) {
            return show_until_key(open_display, options, [&](display::Display& display) {
                display::view_rgb_picture(display, picture, options);
            });
        }
        screen = rgb_to_screen(screen::centre_rgb_picture(std::move(picture)), options);
    } else {
        screen::Palette picture_palette{};
        screen::Picture picture = source_row.read_picture(
            *source, picture_palette, options.resize ? screen::RESIZE_LIMIT : screen::SCREEN_LIMIT);
        const bool fits =
            picture.width <= screen::SCREEN_WIDTH && picture.height <= screen::SCREEN_HEIGHT;
        if (!fits || (!show && options.dither != screen::Dither::none)) {
            // Scaled down (--resize) or dithered: the picture's colours, as if it had none.
            screen::RgbPicture widened = screen::widen_picture(picture, picture_palette);
            if (show) {
                return show_until_key(open_display, options, [&](display::Display& display) {
                    display::view_rgb_picture(display, widened, options);
                });
            }
            screen = rgb_to_screen(screen::centre_rgb_picture(std::move(widened)), options);
        } else {
            screen::apply_palette_options(picture_palette, options);
            if (show) {
                return show_until_key(open_display, options, [&](display::Display& display) {
                    display::view_picture(display, picture, picture_palette, border_colour);
                });
            }
            screen::crop_to_screen(picture);
            screen = screen::picture_to_screen(picture, picture_palette);
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
