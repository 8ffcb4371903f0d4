#include "display/tty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "base/failure.h"

namespace mirva::display {

namespace {

// The signals caught while the terminal is entered: the ones that end the process, and the
// resize.
constexpr std::array<int, 5> CAUGHT_SIGNALS{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGWINCH};

// Alternate screen on, cursor hidden, no wrapping at the right margin, attributes reset, and
// the screen cleared; the way back turns each off again, the alternate screen last, which gives
// the earlier screen and cursor position back.
constexpr std::string_view ENTER_SEQUENCE = "\033[?1049h\033[?25l\033[?7l\033[0m\033[2J";
constexpr std::string_view LEAVE_SEQUENCE = "\033[0m\033[?7h\033[?25h\033[?1049l";
// The string terminator: it ends an image sequence (sixels, kitty's) that a signal cut short,
// and cancels a control sequence.
constexpr std::string_view STRING_TERMINATOR = "\033\\";

// What the handler saw, for the code outside it. The handler only records and wakes poll
// through the pipe; everything else happens outside it.
volatile std::sig_atomic_t termination_signal = 0;
volatile std::sig_atomic_t resize_signal = 0;
int signal_pipe[2] = {-1, -1};
std::array<struct sigaction, CAUGHT_SIGNALS.size()> saved_actions{};

extern "C" void on_signal(int number) {
    int saved_errno = errno;
    if (number == SIGWINCH)
        resize_signal = 1;
    else
        termination_signal = number;
    char byte = 0;
    (void)!::write(signal_pipe[1], &byte, 1);
    errno = saved_errno;
}

void write_all(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        auto put = ::write(descriptor, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

}  // namespace

Tty::Tty() {
    descriptor_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (descriptor_ < 0)
        base::error(base::MSG_NO_GRAPHICS);
}

Tty::~Tty() {
    leave();
    ::close(descriptor_);
}

void Tty::enter() {
    assert(!entered_ && signal_pipe[0] < 0);
    if (::tcgetattr(descriptor_, &saved_) != 0 || ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        base::error(base::MSG_NO_GRAPHICS);
    termination_signal = 0;
    resize_signal = 0;
    // No SA_RESTART: a signal interrupts a write to a terminal that does not read.
    struct sigaction action {};
    action.sa_handler = on_signal;
    ::sigemptyset(&action.sa_mask);
    for (std::size_t index = 0; index < CAUGHT_SIGNALS.size(); ++index)
        ::sigaction(CAUGHT_SIGNALS[index], &action, &saved_actions[index]);
    entered_ = true;

    // Keys come one by one without echo, and a read returns at once. Control-C and the quit key
    // still send their signals; Control-Z and Control-S are keys, as stopping the viewer would
    // leave the terminal in its modes.
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
    raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    ::tcsetattr(descriptor_, TCSAFLUSH, &raw);
    write(ENTER_SEQUENCE);
}

void Tty::leave() {
    if (!entered_)
        return;
    std::string sequence(cut_short_ ? STRING_TERMINATOR : "");
    sequence += LEAVE_SEQUENCE;
    write_all(descriptor_, sequence);
    // TCSAFLUSH waits for the output to go out and throws away the keys typed meanwhile.
    ::tcsetattr(descriptor_, TCSAFLUSH, &saved_);
    for (std::size_t index = 0; index < CAUGHT_SIGNALS.size(); ++index)
        ::sigaction(CAUGHT_SIGNALS[index], &saved_actions[index], nullptr);
    ::close(signal_pipe[0]);
    ::close(signal_pipe[1]);
    signal_pipe[0] = -1;
    signal_pipe[1] = -1;
    entered_ = false;
    cut_short_ = false;
}

void Tty::leave_and_exit() {
    leave();
    // As after any failure, but without a message; nothing else is left to clean up, as a
    // viewer writes no file.
    std::_Exit(1);
}

void Tty::handle_signals() {
    if (!entered_)
        return;
    char bytes[64];
    while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (termination_signal != 0)
        leave_and_exit();
}

TerminalSize Tty::size() const {
    winsize window{};
    if (::ioctl(descriptor_, TIOCGWINSZ, &window) != 0)
        return {};
    // A terminal past these sizes is drawn on in part, so that what is drawn stays a bounded
    // amount of memory and work; a cell size past them is taken as unknown.
    constexpr int MOST_CELLS = 1000;
    constexpr int MOST_CELL_PIXELS = 100;
    TerminalSize size{std::min<int>(window.ws_col, MOST_CELLS),
                      std::min<int>(window.ws_row, MOST_CELLS), 0, 0};
    if (window.ws_col > 0 && window.ws_row > 0 && window.ws_xpixel > 0 && window.ws_ypixel > 0) {
        int cell_width = window.ws_xpixel / window.ws_col;
        int cell_height = window.ws_ypixel / window.ws_row;
        if (cell_width <= MOST_CELL_PIXELS && cell_height <= MOST_CELL_PIXELS) {
            size.cell_width = cell_width;
            size.cell_height = cell_height;
        }
    }
    return size;
}

void Tty::write(std::string_view bytes) {
    if (entered_ && termination_signal != 0)
        leave_and_exit();
    while (!bytes.empty()) {
        auto put = ::write(descriptor_, bytes.data(), bytes.size());
        if (put > 0)
            bytes.remove_prefix(static_cast<std::size_t>(put));
        if (entered_ && termination_signal != 0) {
            cut_short_ = !bytes.empty();
            leave_and_exit();
        }
        if (put < 0 && errno == EINTR)
            continue;
        // A terminal that is gone takes nothing; its hang-up ends the viewer.
        if (put <= 0)
            return;
    }
}

Tty::Event Tty::wait(int milliseconds, bool want_key) {
    assert(entered_);
    std::array<pollfd, 2> watched{
        {{signal_pipe[0], POLLIN, 0}, {want_key ? descriptor_ : -1, POLLIN, 0}}};
    int ready = ::poll(watched.data(), watched.size(), milliseconds);
    handle_signals();
    if (take_resize())
        return Event::resize;
    if (ready > 0 && (watched[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        leave_and_exit();
    if (ready > 0 && (watched[1].revents & POLLIN) != 0)
        return Event::key;
    return Event::timeout;
}

int Tty::read_key() {
    // A key may send several bytes (an escape sequence); all that is waiting counts as one.
    unsigned char bytes[64];
    auto got = ::read(descriptor_, bytes, sizeof bytes);
    if (got <= 0)
        return 0;
    return bytes[0] != 0 ? bytes[0] : 256;
}

bool Tty::take_resize() {
    handle_signals();
    if (resize_signal == 0)
        return false;
    resize_signal = 0;
    return true;
}

}  // namespace mirva::display
