// The terminal viewer end to end: in a tmux pane of known size, what the cells show in each flash
// phase and how the pane is left; over a pseudo-terminal, the raw bytes: sixels, a resize, and
// the signals that end it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "screen/palette.h"
#include "support/e2e.h"
#include "support/pcx_file.h"
#include "support/shown_frame.h"
#include "support/terminal_capture.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The sequences the viewer starts and ends with: alternate screen, cursor, wrapping.
const std::string ENTER = "\033[?1049h\033[?25l\033[?7l";
const std::string LEAVE = "\033[0m\033[?7h\033[?25h\033[?1049l";

ExpectedFrame test_card_frame(bool phase) {
    return screen_frame(make_test_card(), phase, 1);  // Blue border.
}

bool near(const TerminalColour& shown, const screen::Rgb& expected) {
    auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
    return shown.kind == TerminalColour::Kind::rgb && close(shown.rgb.red, expected.red) &&
           close(shown.rgb.green, expected.green) && close(shown.rgb.blue, expected.blue);
}

// How many of the 320x200 pixels a 320x100 pane shows otherwise than expected: each cell is
// one pixel wide and two high, drawn with a half block in two colours.
int pixels_differing(const std::vector<std::vector<TerminalCell>>& lines,
                     const ExpectedFrame& expected) {
    int differing = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 320; ++x) {
            auto upper = static_cast<std::size_t>(2 * y * 320 + x);
            auto lower = upper + 320;
            std::optional<CellHalves> halves;
            if (static_cast<std::size_t>(y) < lines.size() &&
                static_cast<std::size_t>(x) < lines[static_cast<std::size_t>(y)].size())
                halves =
                    cell_halves(lines[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
            if (!halves) {
                differing += 2;
                continue;
            }
            differing += near(halves->upper, expected[upper]) ? 0 : 1;
            differing += near(halves->lower, expected[lower]) ? 0 : 1;
        }
    }
    return differing;
}

// A tmux server of its own, on a socket in the test's directory, with one detached pane.
class TmuxPane {
public:
    explicit TmuxPane(const TemporaryDirectory& directory)
        : directory_(directory), socket_((directory / "tmux.socket").string()) {}
    ~TmuxPane() { tmux({"kill-server"}); }
    TmuxPane(const TmuxPane&) = delete;
    TmuxPane& operator=(const TmuxPane&) = delete;

    RunResult tmux(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"-S", socket_, "-f", "/dev/null"});
        return run_program("/usr/bin/tmux", arguments, directory_.path(), {.timeout_seconds = 10});
    }

    // Starts a pane of the size that shows "antes", then waits for the test's signal to run
    // the viewer with the environment, then keeps its exit status and the terminal's modes.
    void start(int columns, int rows, const std::string& environment,
               const std::vector<std::string>& arguments) {
        std::string viewer = "env -i PATH=/usr/bin:/bin " + environment + " " + MIRVA_BINARY;
        for (const auto& argument : arguments)
            viewer += " '" + argument + "'";
        std::ofstream script(directory_ / "pane.sh");
        script << "stty -g > before.stty\n"
               << "printf 'antes\\n'\n"
               << "tmux -S " << socket_ << " wait-for go\n"
               << viewer << "\n"
               << "echo $? > status.part && mv status.part status\n"
               << "stty -g > after.stty\n"
               << "exec sleep 60\n";
        script.close();
        tmux({"new-session", "-d", "-x", std::to_string(columns), "-y", std::to_string(rows), "-c",
              directory_.path().string(), "sh pane.sh"});
    }

    std::string capture() { return tmux({"capture-pane", "-e", "-p", "-N"}).standard_output; }

    // The modes tmux keeps for the pane: alternate screen, cursor shown and where, wrapping,
    // insert, keypad, origin.
    std::string modes() {
        return tmux({"display-message", "-p",
                     "#{alternate_on} #{cursor_flag} #{cursor_x},#{cursor_y} #{wrap_flag} "
                     "#{insert_flag} #{keypad_cursor_flag} #{keypad_flag} #{origin_flag}"})
            .standard_output;
    }

    // Waits until the capture satisfies the test; returns the last capture.
    template <typename Test>
    std::string wait_for_capture(Test test, std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        std::string text = capture();
        while (!test(text) && Clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
            text = capture();
        }
        return text;
    }

    // The viewer's exit status, once the pane has written it; -1 after the limit.
    int status(std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            std::ifstream file(directory_ / "status");
            int value = -1;
            if (file >> value)
                return value;
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

    std::string file(const std::string& name) {
        auto bytes = read_file(directory_ / name);
        return {bytes.begin(), bytes.end()};
    }

private:
    const TemporaryDirectory& directory_;
    std::string socket_;
};

// Runs the viewer in a 320x100 pane in truecolour: it shows each expected frame in turn,
// exactly, then a key ends it with status 0 and leaves the pane as it found it.
void expect_frames_in_pane(const std::vector<std::string>& arguments,
                           const std::vector<ExpectedFrame>& frames) {
    TemporaryDirectory dir;
    TmuxPane pane(dir);
    pane.start(320, 100, "TERM=xterm-256color COLORTERM=truecolor", arguments);
    std::string before = pane.wait_for_capture(
        [](const std::string& text) { return text.find("antes") != std::string::npos; }, 10s);
    std::string modes_before = pane.modes();
    pane.tmux({"wait-for", "-S", "go"});

    for (const ExpectedFrame& frame : frames) {
        std::string shown = pane.wait_for_capture(
            [&](const std::string& text) {
                return pixels_differing(parse_capture(text), frame) == 0;
            },
            10s);
        EXPECT_EQ(pixels_differing(parse_capture(shown), frame), 0) << shown.substr(0, 2000);
    }
    pane.tmux({"send-keys", "x"});
    EXPECT_EQ(pane.status(10s), 0);
    EXPECT_EQ(pane.capture(), before);
    EXPECT_EQ(pane.modes(), modes_before);
    EXPECT_EQ(pane.file("after.stty"), pane.file("before.stty"));
}

TEST(TerminalViewer, ShowsTheTestCardFlashingInTruecolourAndLeavesThePaneAsItWas) {
    // Both phases, one after the other: the flashing cells swap ink and paper.
    ExpectedFrame phase_a = test_card_frame(false);
    ExpectedFrame phase_b = test_card_frame(true);
    ASSERT_NE(phase_a, phase_b);
    expect_frames_in_pane({"--terminal", std::string(MIRVA_EXAMPLES) + "/testcard.sna"},
                          {phase_a, phase_b});
}

TEST(TerminalViewer, ShowsAPictureCentredInItsOwnPalette) {
    TemporaryDirectory source;
    PcxPicture pcx = stripes_picture();
    write_file(source / "stripes.pcx", make_pcx(pcx));
    expect_frames_in_pane({"--terminal", (source / "stripes.pcx").string()}, {picture_frame(pcx)});
}

// The first cell of a line that holds any colour, with the SGR sequences of the capture.
struct ColourCapture {
    std::string text;
    std::vector<std::vector<TerminalCell>> lines;
};

ColourCapture capture_colours(const std::string& environment) {
    TemporaryDirectory dir;
    TmuxPane pane(dir);
    pane.start(80, 25, environment, {"--terminal", std::string(MIRVA_EXAMPLES) + "/testcard.sna"});
    pane.wait_for_capture(
        [](const std::string& text) { return text.find("antes") != std::string::npos; }, 10s);
    pane.tmux({"wait-for", "-S", "go"});
    // The frame is drawn when the test card's yellow-on-blue rows show at the bottom.
    std::string text = pane.wait_for_capture(
        [](const std::string& shown) {
            auto lines = parse_capture(shown);
            return lines.size() == 25 && lines[24].size() == 80 &&
                   lines[24][40].background != TerminalColour{};
        },
        10s);
    pane.tmux({"send-keys", "x"});
    EXPECT_EQ(pane.status(10s), 0);
    return {text, parse_capture(text)};
}

TEST(TerminalViewer, DrawsIn256ColoursWhereTheTerminalHasNoMore) {
    // An xterm without COLORTERM takes 256 colours; the viewer keeps to the 240 fixed ones.
    ColourCapture capture = capture_colours("TERM=xterm");
    ASSERT_EQ(capture.lines.size(), 25u) << capture.text;
    EXPECT_NE(capture.text.find("8;5;"), std::string::npos);
    EXPECT_EQ(capture.text.find("8;2;"), std::string::npos);
    // Every colour shown: a space's foreground is not.
    for (const auto& line : capture.lines) {
        for (const auto& cell : line) {
            auto halves = cell_halves(cell);
            for (const auto& colour : halves ? std::vector{halves->upper, halves->lower}
                                             : std::vector{cell.foreground, cell.background})
                EXPECT_TRUE(colour.kind == TerminalColour::Kind::indexed && colour.index >= 16)
                    << colour.index;
        }
    }
    // The left eight columns are the border, Spectrum blue (0, 0, 202): the cube's blue.
    for (int column = 0; column < 8; ++column) {
        auto halves = cell_halves(capture.lines[12][static_cast<std::size_t>(column)]);
        ASSERT_TRUE(halves.has_value());
        ASSERT_EQ(halves->upper.kind, TerminalColour::Kind::indexed);
        screen::Rgb shown = xterm_colour(halves->upper.index);
        EXPECT_EQ(shown.red, 0);
        EXPECT_EQ(shown.green, 0);
        EXPECT_GE(shown.blue, 175);
    }
}

TEST(TerminalViewer, DrawsIn16ColoursOnTheLinuxConsole) {
    ColourCapture capture = capture_colours("TERM=linux");
    ASSERT_EQ(capture.lines.size(), 25u) << capture.text;
    EXPECT_EQ(capture.text.find("8;5;"), std::string::npos);
    EXPECT_EQ(capture.text.find("8;2;"), std::string::npos);
    for (int column = 0; column < 8; ++column) {
        auto halves = cell_halves(capture.lines[12][static_cast<std::size_t>(column)]);
        ASSERT_TRUE(halves.has_value());
        ASSERT_EQ(halves->upper.kind, TerminalColour::Kind::indexed);
        EXPECT_TRUE(halves->upper.index == 4 || halves->upper.index == 12) << halves->upper.index;
    }
}

// The viewer on a pseudo-terminal it has as its controlling terminal, its standard streams
// elsewhere; the test reads what it writes to the terminal and types on it.
class PtyViewer {
public:
    PtyViewer(const TemporaryDirectory& directory, std::vector<std::string> environment,
              winsize size)
        : directory_(directory) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        std::string slave_name = ::ptsname(master_);
        slave_ = ::open(slave_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::ioctl(master_, TIOCSWINSZ, &size);
        ::tcgetattr(slave_, &before_);
        std::string source = std::string(MIRVA_EXAMPLES) + "/testcard.sna";
        environment.emplace_back("PATH=/usr/bin:/bin");
        pid_ = start_program(
            MIRVA_BINARY, {"--terminal", source}, directory.path(), directory / "stdout",
            directory / "stderr",
            {.environment = environment, .only_environment = true, .terminal = slave_name});
    }
    ~PtyViewer() {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(slave_);
        ::close(master_);
    }
    PtyViewer(const PtyViewer&) = delete;
    PtyViewer& operator=(const PtyViewer&) = delete;

    // Reads what the viewer writes until the output holds text after from; returns whether it
    // does.
    bool read_until(const std::string& text, std::size_t from, std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        while (output.find(text, from) == std::string::npos) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd ready{master_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) != 1)
                continue;
            char bytes[65536];
            auto got = ::read(master_, bytes, sizeof bytes);
            if (got <= 0)
                return false;
            output.append(bytes, static_cast<std::size_t>(got));
        }
        return true;
    }

    void type(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
    void resize(winsize size) { ::ioctl(master_, TIOCSWINSZ, &size); }
    void signal(int number) { ::kill(pid_, number); }

    // The processor time the viewer has used so far, in milliseconds.
    long processor_milliseconds() const { return testing::processor_milliseconds(pid_); }

    // Waits for the viewer to end; returns its exit status, or -1. Reads what it wrote meanwhile.
    int wait(std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                finished_ = true;
                read_until(LEAVE_MARK, output.size(), 200ms);
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            read_until(LEAVE_MARK, output.size(), 10ms);
        }
        return -1;
    }

    // Whether the terminal's modes are back as they were, with no key left to read.
    void expect_terminal_restored() {
        termios after{};
        ::tcgetattr(slave_, &after);
        EXPECT_EQ(after.c_lflag, before_.c_lflag);
        EXPECT_EQ(after.c_iflag, before_.c_iflag);
        EXPECT_EQ(after.c_oflag, before_.c_oflag);
        EXPECT_EQ(after.c_cc[VMIN], before_.c_cc[VMIN]);
        EXPECT_EQ(after.c_cc[VSUSP], before_.c_cc[VSUSP]);
        int waiting = -1;
        ::ioctl(slave_, FIONREAD, &waiting);
        EXPECT_EQ(waiting, 0);
        EXPECT_GE(output.size(), LEAVE.size());
        EXPECT_TRUE(output.ends_with(LEAVE))
            << output.substr(output.size() - std::min<std::size_t>(output.size(), 60));
        EXPECT_EQ(read_file(directory_ / "stdout").size(), 0u);
        EXPECT_EQ(read_file(directory_ / "stderr").size(), 0u);
    }

    std::string output;

private:
    static inline const std::string LEAVE_MARK = "\033[?1049l";
    const TemporaryDirectory& directory_;
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool finished_ = false;
    termios before_{};
};

// The width and height a sixel image declares in its raster attributes ("Pan;Pad;Ph;Pv).
std::pair<int, int> sixel_size(const std::string& output, std::size_t from) {
    std::size_t start = output.find("\033P", from);
    if (start == std::string::npos)
        return {0, 0};
    std::size_t introducer = output.find('q', start);
    // Only parameters stand between ESC P and q.
    if (introducer == std::string::npos ||
        output.find_first_not_of("0123456789;", start + 2) != introducer ||
        output.compare(introducer + 1, 5, "\"1;1;") != 0)
        return {0, 0};
    int width = 0;
    int height = 0;
    if (std::sscanf(output.c_str() + introducer + 6, "%d;%d", &width, &height) != 2)
        return {0, 0};
    return {width, height};
}

TEST(TerminalViewerOnPty, SixelsFitTheTerminalAgainAfterAResizeUntilAKey) {
    TemporaryDirectory dir;
    // 80x25 cells of 8x16 pixels. An image keeps off the last row, so as not to scroll: 24 rows,
    // 384 pixels high; 320:200 gives 614.4 pixels wide, 77 whole columns, 616 pixels.
    PtyViewer viewer(dir, {"TERM=foot"}, {25, 80, 640, 400});
    ASSERT_TRUE(viewer.read_until("\033\\", 0, 10s)) << viewer.output.substr(0, 200);
    EXPECT_TRUE(viewer.output.starts_with(ENTER));
    EXPECT_EQ(sixel_size(viewer.output, 0), std::make_pair(616, 384));

    // 40x13 cells of 8x16: 12 rows, 192 pixels high, 307.2 wide: 38 columns, 304 pixels.
    std::size_t seen = viewer.output.size();
    viewer.resize({13, 40, 320, 208});
    bool redrawn = false;
    for (auto deadline = Clock::now() + 10s; !redrawn && Clock::now() < deadline;) {
        viewer.read_until("\033\\", seen, 100ms);
        redrawn = sixel_size(viewer.output, seen) == std::make_pair(304, 192);
    }
    EXPECT_TRUE(redrawn);
    // Between the half seconds it sleeps: over two flash phases it uses a small share of a
    // processor, the bound loose enough for a busy machine, while a loop that spins fails it.
    long before = viewer.processor_milliseconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(viewer.processor_milliseconds() - before, 200);
    viewer.type("x");
    EXPECT_EQ(viewer.wait(10s), 0);
    viewer.expect_terminal_restored();
}

TEST(TerminalViewerOnPty, KittyAndITerm2ImagesHaveTheFittedSize) {
    // As for sixels: 77x24 cells of 8x16 pixels, 616x384 pixels, one column in.
    struct Case {
        std::vector<std::string> environment;
        std::string header;
    };
    const Case cases[] = {
        {{"TERM=xterm-kitty"}, "\033[1;2H\033_Ga=T,f=32,s=616,v=384,c=77,r=24,"},
        {{"TERM=xterm", "TERM_PROGRAM=iTerm.app"},
         "\033[1;2H\033]1337;File=inline=1;width=77;height=24;"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.environment.front());
        TemporaryDirectory dir;
        PtyViewer viewer(dir, test.environment, {25, 80, 640, 400});
        EXPECT_TRUE(viewer.read_until(test.header, 0, 10s)) << viewer.output.substr(0, 200);
        viewer.type("x");
        EXPECT_EQ(viewer.wait(10s), 0);
        viewer.expect_terminal_restored();
    }
}

TEST(TerminalViewerOnPty, InterruptTerminateAndHangUpRestoreTheTerminalAndExitWithOne) {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(number));
        TemporaryDirectory dir;
        PtyViewer viewer(dir, {"TERM=xterm-256color"}, {25, 80, 0, 0});
        // The frame ends with the last row's reset.
        ASSERT_TRUE(viewer.read_until("\033[25;1H", 0, 10s));
        viewer.type("typed ahead");  // Read by nobody before the signal, and not left behind.
        std::this_thread::sleep_for(50ms);
        viewer.signal(number);
        EXPECT_EQ(viewer.wait(10s), 1);
        viewer.expect_terminal_restored();
    }
}

TEST(TerminalViewerOnPty, WithoutLibchafaOneMessageAndTheTerminalUntouched) {
    TemporaryDirectory dir;
    PtyViewer viewer(dir, {"TERM=xterm-256color", std::string("LD_PRELOAD=") + MIRVA_NO_CHAFA},
                     {25, 80, 0, 0});
    EXPECT_EQ(viewer.wait(10s), 1);
    EXPECT_EQ(viewer.output, "");
    auto message = read_file(dir / "stderr");
    EXPECT_EQ(std::string(message.begin(), message.end()),
              "No se encuentra la biblioteca libchafa.so.0\n");
}

TEST(TerminalViewer, NoTerminalAndNoDisplayIsNoGraphics) {
    // The tests' processes have no controlling terminal.
    TemporaryDirectory dir;
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("SDL_VIDEODRIVER");
    for (auto arguments : {std::vector<std::string>{"--terminal"}, std::vector<std::string>{}}) {
        arguments.push_back(std::string(MIRVA_EXAMPLES) + "/testcard.sna");
        expect_message(run_mirva(dir, arguments), "No se puede iniciar el modo grafico");
    }
}

}  // namespace
}  // namespace mirva::testing
