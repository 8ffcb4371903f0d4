#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "display/graphics.h"

namespace mirva::display {

/// The shared library the display is drawn with, loaded only when a viewer runs.
inline constexpr const char* SDL_LIBRARY = "libSDL2-2.0.so.0";

/// Returns the display the viewers draw on, over SDL_LIBRARY; fails with "No se puede iniciar
/// el modo grafico" when the library cannot be loaded.
std::unique_ptr<Display> open_sdl_display();

/// Returns the display over SDL_LIBRARY with SDL's video started, or null when the library is
/// missing or nothing it can open shows anything to a person.
std::unique_ptr<Display> open_shown_sdl_display();

/// The same as open_sdl_display over the named library (tests name one that is missing or is not
/// SDL).
std::unique_ptr<Display> open_sdl_display_with(const char* library);

/// Where a 320x200 frame goes in an output of the given pixel size: square pixels at the
/// largest whole scale that fits (at least 1), centred.
struct FrameLayout {
    int x = 0;
    int y = 0;
    int scale = 1;
    friend bool operator==(const FrameLayout&, const FrameLayout&) = default;
};
FrameLayout frame_layout(int output_width, int output_height);

/// Returns whether a video driver shows anything to a person: SDL's invisible drivers
/// ("offscreen", "dummy", "evdev") count only when the user asked for a driver by name.
bool video_driver_shows(std::string_view driver, bool driver_requested);

/// Returns a 6-bit palette component (0..63, higher bits ignored) as an 8-bit one (0..255).
std::uint8_t expand_component(std::uint8_t component);

}  // namespace mirva::display
