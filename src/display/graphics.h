#pragma once

#include <cstdint>
#include <span>

namespace mirva::display {

/// The operations the viewers use: a 320x200 indexed display with a 256-entry palette of 6-bit
/// components, a whole-frame copy and a keyboard.
class Display {
public:
    virtual ~Display() = default;
    /// Enters graphics mode; fails with "No se puede iniciar el modo grafico".
    virtual void graphics_on() = 0;
    /// Returns to text mode.
    virtual void graphics_off() = 0;
    /// Sets one palette entry; components 0..63.
    virtual void set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue) = 0;
    /// Shows a whole 320x200 frame of palette indices.
    virtual void show_frame(std::span<const std::uint8_t> frame) = 0;
    /// Returns a waiting key, consuming it, or 0 when none is waiting.
    virtual int poll_key() = 0;
    /// Waits up to the given milliseconds for a key; returns it, consumed, or 0 after the time.
    virtual int wait_key(int milliseconds) = 0;
};

}  // namespace mirva::display
