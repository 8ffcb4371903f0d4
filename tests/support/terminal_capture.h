#pragma once

#include <optional>
#include <string>
#include <vector>

#include "screen/palette.h"

namespace mirva::testing {

/// A colour as a terminal was told it: the default, an index of its palette, or RGB.
struct TerminalColour {
    enum class Kind { standard, indexed, rgb } kind = Kind::standard;
    int index = 0;
    screen::Rgb rgb{};
    friend bool operator==(const TerminalColour&, const TerminalColour&) = default;
};

/// One character cell: its character (UTF-8) and the colours it is drawn in, reverse video
/// already applied.
struct TerminalCell {
    std::string glyph;
    TerminalColour foreground;
    TerminalColour background;
};

/// The cells of a screen as tmux's capture-pane -e -p prints them, one vector per line; the
/// attributes run on from one line to the next as they are printed.
std::vector<std::vector<TerminalCell>> parse_capture(const std::string& text);

/// The colours of the upper and lower halves of a cell drawn with a space, a full block or a
/// half block; nothing for any other character.
struct CellHalves {
    TerminalColour upper;
    TerminalColour lower;
};
std::optional<CellHalves> cell_halves(const TerminalCell& cell);

/// The colour of an index of the 256-colour palette from 16 on: the 6x6x6 cube, then 24 greys.
screen::Rgb xterm_colour(int index);

}  // namespace mirva::testing
