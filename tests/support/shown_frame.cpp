#include "support/shown_frame.h"

#include <algorithm>

#include "screen/framing.h"
#include "screen/render.h"

namespace mirva::testing {

ExpectedFrame colours_of(const std::vector<std::uint8_t>& frame, const screen::Palette& palette) {
    ExpectedFrame colours;
    for (auto index : frame) {
        const screen::Rgb& entry = palette[index];
        auto scale = [](std::uint8_t value) { return static_cast<std::uint8_t>(value * 255 / 63); };
        colours.push_back({scale(entry.red), scale(entry.green), scale(entry.blue)});
    }
    return colours;
}

ExpectedFrame screen_frame(const screen::ScreenImage& screen, bool phase, std::uint8_t border) {
    screen::Picture picture = screen::render_screen(screen, false, false, phase);
    screen::frame_picture(picture.pixels, picture.width, picture.height, border);
    screen::Palette palette{};
    std::copy(screen::spectrum_palette.begin(), screen::spectrum_palette.end(), palette.begin());
    return colours_of(picture.pixels, palette);
}

PcxPicture stripes_picture() {
    PcxPicture pcx{.width = 100, .height = 50};
    pcx.palette = {{40, 80, 120}, {252, 0, 0}, {0, 252, 0}, {0, 0, 252}, {252, 252, 0}};
    for (int y = 0; y < pcx.height; ++y)
        for (int x = 0; x < pcx.width; ++x)
            pcx.pixels.push_back(static_cast<std::uint8_t>(1 + (x / 10 + y / 10) % 4));
    return pcx;
}

ExpectedFrame picture_frame(const PcxPicture& pcx) {
    screen::Picture picture;
    std::copy(pcx.pixels.begin(), pcx.pixels.end(), picture.pixels.begin());
    screen::frame_picture(picture.pixels, pcx.width, pcx.height, 0);
    screen::Palette palette{};
    for (std::size_t index = 0; index < pcx.palette.size(); ++index) {
        const Rgb8& colour = pcx.palette[index];
        palette[index] = {static_cast<std::uint8_t>(colour[0] >> 2),
                          static_cast<std::uint8_t>(colour[1] >> 2),
                          static_cast<std::uint8_t>(colour[2] >> 2)};
    }
    return colours_of(picture.pixels, palette);
}

}  // namespace mirva::testing
