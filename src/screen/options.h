#pragma once

#include "screen/screen_image.h"

namespace mirva::screen {

/// Which viewer shows a source when there is no destination.
enum class Viewer : std::uint8_t {
    automatic,  // A window or the console's screen where one opens, else the terminal.
    terminal,   // --terminal: the terminal, even where a window would open.
};

/// How a picture made from a screen, or a screen made from a picture, is to look: everything the
/// command line can ask of a conversion or a viewer, parsed once and passed down unchanged.
struct Options {
    bool bw = false;       // -b: black and white.
    bool inverse = false;  // -i: ink and paper swapped, or every colour inverted.
    Viewer viewer = Viewer::automatic;
};

/// The size in pixels of a picture written from a screen.
struct PictureSize {
    int width = SCREEN_WIDTH;
    int height = SCREEN_HEIGHT;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

/// The size of the picture a writer makes of a screen under the options.
constexpr PictureSize written_size(const Options& /*options*/) {
    return {};
}

}  // namespace mirva::screen
