#include "display/viewers.h"

#include "screen/framing.h"
#include "screen/palette_options.h"
#include "screen/render.h"

namespace mirva::display {

namespace {

// Graphics mode from construction to destruction, so that every way out of a viewer, a failure
// included, leaves the display in text mode. A failure to enter it leaves nothing to undo.
class GraphicsMode {
public:
    explicit GraphicsMode(Display& display) : display_(display) { display_.graphics_on(); }
    ~GraphicsMode() { display_.graphics_off(); }
    GraphicsMode(const GraphicsMode&) = delete;
    GraphicsMode& operator=(const GraphicsMode&) = delete;

private:
    Display& display_;
};

}  // namespace

std::uint8_t shown_border_colour(std::uint8_t border_colour) {
    // Only a damaged snapshot holds a border byte above 15. The Spectrum itself takes the border
    // from the low three bits of the byte written to its port 0xFE, so that is what is shown;
    // every index shown is then one of the 16 palette entries the screen viewer sets.
    if (border_colour > 15)
        return static_cast<std::uint8_t>(border_colour & 0x07);
    return border_colour;
}

void view_screen(Display& display, const screen::ScreenImage& screen,
                 const screen::Options& options, std::uint8_t border_colour) {
    // Both frames are made before graphics mode, so running out of memory leaves text mode.
    screen::Picture frame_a = screen::render_screen(screen, options.bw, options.inverse, false);
    screen::Picture frame_b = screen::render_screen(screen, options.bw, options.inverse, true);
    std::uint8_t margin = shown_border_colour(border_colour);
    screen::frame_picture(frame_a.pixels, frame_a.width, frame_a.height, margin);
    screen::frame_picture(frame_b.pixels, frame_b.width, frame_b.height, margin);

    GraphicsMode mode(display);
    for (std::size_t index = 0; index < screen::spectrum_palette.size(); ++index) {
        const screen::Rgb& colour = screen::spectrum_palette[index];
        display.set_palette_entry(static_cast<int>(index), colour.red, colour.green, colour.blue);
    }
    show_flashing(display, frame_a.pixels, frame_b.pixels);
    drain_keys(display);
}

void show_flashing(Display& display, std::span<const std::uint8_t> frame_a,
                   std::span<const std::uint8_t> frame_b) {
    // The keyboard is looked at only after each half second, so a key ends the loop at the end
    // of the phase in which it came, with that phase still on screen.
    while (true) {
        for (auto frame : {frame_a, frame_b}) {
            display.show_frame(frame);
            display.pause(FLASH_MILLISECONDS);
            if (display.poll_key() != 0)
                return;
        }
    }
}

void view_picture(Display& display, screen::Picture& picture,
                  const screen::Palette& picture_palette, std::uint8_t border_colour) {
    GraphicsMode mode(display);
    for (std::size_t index = 0; index < picture_palette.size(); ++index) {
        const screen::Rgb& colour = picture_palette[index];
        display.set_palette_entry(static_cast<int>(index), colour.red, colour.green, colour.blue);
    }
    screen::frame_picture(picture.pixels, picture.width, picture.height, border_colour);
    display.show_frame(picture.pixels);
    wait_for_key(display);
}

void view_rgb_picture(Display& display, const screen::RgbPicture& picture,
                      const screen::Options& options) {
    screen::Palette picture_palette{};
    std::uint8_t margin_index = 0;
    screen::Picture indexed = screen::index_rgb_picture(picture, picture_palette, margin_index);
    screen::apply_palette_options(picture_palette, options);
    view_picture(display, indexed, picture_palette, margin_index);
}

}  // namespace mirva::display
