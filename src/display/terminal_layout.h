#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mirva::display {

/// A terminal's size in character cells, and the pixel size of one cell when the terminal tells
/// it (0 when it does not).
struct TerminalSize {
    int columns = 0;
    int rows = 0;
    int cell_width = 0;
    int cell_height = 0;
};

/// The cell size assumed where the terminal does not tell it: twice as high as wide.
inline constexpr int ASSUMED_CELL_WIDTH = 8;
inline constexpr int ASSUMED_CELL_HEIGHT = 16;

/// Where the 320x200 frame goes on a terminal, in cells counted from 0: the largest rectangle
/// that shows it with square pixels, centred.
struct TerminalLayout {
    int column = 0;
    int row = 0;
    int columns = 1;
    int rows = 1;
    friend bool operator==(const TerminalLayout&, const TerminalLayout&) = default;
};

/// Returns where the frame goes on a terminal of that size; one that gives no size counts as
/// 80x24.
TerminalLayout terminal_layout(const TerminalSize& size);

/// Returns an RGBA picture of width x height scaled to target_width x target_height, each
/// target pixel taking the colour of the source pixel under its centre, so that the pixels of
/// a Spectrum screen stay sharp; both sizes at least 1.
std::vector<std::uint8_t> scale_nearest(std::span<const std::uint8_t> rgba, int width, int height,
                                        int target_width, int target_height);

/// How a terminal is drawn on, best first: an image protocol, or Unicode block characters in
/// as many colours as the terminal takes.
enum class TerminalMode : std::uint8_t {
    kitty,
    iterm2,
    sixels,
    truecolour,
    colours_256,
    colours_16
};

/// What a terminal can show, as its description says.
struct TerminalAbilities {
    bool kitty = false;
    bool iterm2 = false;
    bool sixels = false;
    bool truecolour = false;
    bool colours_256 = false;
};

/// Returns the best mode a terminal with those abilities shows; 16 colours when it has none.
TerminalMode choose_terminal_mode(const TerminalAbilities& abilities);

/// Returns whether the mode draws pixels rather than characters.
constexpr bool draws_pixels(TerminalMode mode) {
    return mode == TerminalMode::kitty || mode == TerminalMode::iterm2 ||
           mode == TerminalMode::sixels;
}

}  // namespace mirva::display
