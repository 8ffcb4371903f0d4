#include "screen/palette_options.h"

namespace mirva::screen {

Rgb apply_colour_options(Rgb entry, const Options& options) {
    if (options.bw) {
        auto grey = static_cast<std::uint8_t>((entry.red + entry.green + entry.blue) / 3);
        entry = {grey, grey, grey};
    }
    if (options.inverse) {
        // Components of a loaded palette are 0..63, so 63 - v stays a component.
        entry.red = static_cast<std::uint8_t>(63 - entry.red);
        entry.green = static_cast<std::uint8_t>(63 - entry.green);
        entry.blue = static_cast<std::uint8_t>(63 - entry.blue);
    }
    return entry;
}

void apply_palette_options(Palette& palette, const Options& options) {
    for (auto& entry : palette)
        entry = apply_colour_options(entry, options);
}

}  // namespace mirva::screen
