#pragma once

#include <cstdint>

#include "screen/screen_image.h"

namespace mirva::screen {

inline constexpr int MAX_SCALE = 8;
/// The border a written picture gets with --border, at scale 1: 32 pixels at the left and right,
/// 24 at the top and bottom.
inline constexpr int BORDER_WIDTH = 32;
inline constexpr int BORDER_HEIGHT = 24;

/// How a picture becomes a screen: the fit of two colours to each cell, or that fit on a dithered
/// picture.
enum class Dither : std::uint8_t { none, floyd, atkinson, ordered };

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
    int scale = 1;         // --scale=N: every screen pixel written as N x N, 1..MAX_SCALE.
    bool border = false;   // --border: a written picture gets the border around the screen.
    bool flash = false;    // --flash: a written picture shows both flash phases in turn.
    bool resize = false;   // --resize: GIF and PCX pictures larger than 256x192 are scaled down.
    Dither dither = Dither::none;  // --dither=MODE, for a picture written as a screen.

    Viewer viewer = Viewer::automatic;
};

/// The size in pixels of a picture written from a screen.
struct PictureSize {
    int width = SCREEN_WIDTH;
    int height = SCREEN_HEIGHT;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

/// The size of the picture a writer makes of a screen under the options: the screen, with the
/// border if asked, times the scale.
constexpr PictureSize written_size(const Options& options) {
    const int width = SCREEN_WIDTH + (options.border ? 2 * BORDER_WIDTH : 0);
    const int height = SCREEN_HEIGHT + (options.border ? 2 * BORDER_HEIGHT : 0);
    return {width * options.scale, height * options.scale};
}

}  // namespace mirva::screen
