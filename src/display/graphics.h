#pragma once

#include <cstdint>
#include <span>

namespace mirva::display {

/// The operations the viewers use: a 320x200 indexed display with a 256-entry palette of 6-bit
/// components, a whole-frame copy and a keyboard. Closing the display's window counts as a key.
class Display {
public:
    virtual ~Display() = default;
    /// Enters graphics mode, never with more privilege than the real user has; fails with
    /// "Error interno" when the effective user id cannot be set to the real one and with "No se
    /// puede iniciar el modo grafico" when no display can be opened.
    virtual void graphics_on() = 0;
    /// Returns to text mode; does nothing when graphics mode is off.
    virtual void graphics_off() = 0;
    /// Sets one palette entry: index 0..255, components 0..63.
    virtual void set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue) = 0;
    /// Shows a whole 320x200 frame of palette indices.
    virtual void show_frame(std::span<const std::uint8_t> frame) = 0;
    /// Returns a waiting key, consuming it, or 0 when none is waiting.
    virtual int poll_key() = 0;
    /// Waits for a key, keeping the frame on screen meanwhile; returns it (never 0), consumed.
    virtual int read_key() = 0;
    /// Lets the milliseconds pass with the frame kept on screen; keys pressed meanwhile stay
    /// waiting for poll_key.
    virtual void pause(int milliseconds) = 0;
};

/// Throws away every waiting key without waiting for one.
void drain_keys(Display& display);

/// Throws away the waiting keys, then waits for a new one; returns it.
int wait_for_key(Display& display);

}  // namespace mirva::display
