#pragma once

#include <termios.h>

#include <string>
#include <string_view>

#include "display/terminal_layout.h"

namespace mirva::display {

/// The controlling terminal, reached through /dev/tty whatever the standard streams are. While
/// entered it shows the alternate screen without a cursor, reads keys one by one without echo,
/// and catches SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGWINCH; a terminating signal puts the
/// terminal back as it was and ends the process with status 1.
class Tty {
public:
    /// Opens /dev/tty; fails with "No se puede iniciar el modo grafico" when the process has no
    /// controlling terminal.
    Tty();
    ~Tty();
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    /// Saves the terminal's modes, catches the signals, and shows an empty alternate screen;
    /// keys typed before are thrown away.
    void enter();
    /// Puts back everything enter changed, throwing away keys not read; does nothing when not
    /// entered.
    void leave();

    /// The size of the terminal now.
    TerminalSize size() const;

    /// Writes all the bytes.
    void write(std::string_view bytes);

    /// What ended a wait.
    enum class Event { timeout, key, resize };

    /// Waits up to the milliseconds (-1: without end) for a resize, or for a key when
    /// want_key; the key is left for read_key.
    Event wait(int milliseconds, bool want_key);

    /// Reads a waiting key without waiting: its first byte (256 for NUL), or 0 for none.
    int read_key();

    /// Returns whether the terminal was resized since the last call, handling any signal.
    bool take_resize();

private:
    [[noreturn]] void leave_and_exit();
    void handle_signals();

    int descriptor_ = -1;
    bool entered_ = false;
    bool cut_short_ = false;  // An escape sequence may have been left unfinished.
    termios saved_{};
};

}  // namespace mirva::display
