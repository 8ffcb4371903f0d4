// The viewer end to end, on a virtual X server: what the window shows, the flash, the key that
// ends it; and the runs that must not touch a display at all.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "screen/palette.h"
#include "support/e2e.h"
#include "support/pcx_file.h"
#include "support/shown_frame.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string NO_GRAPHICS = "No se puede iniciar el modo grafico";

// A child process without a controlling terminal (the window or nothing), standard input from
// /dev/null and its output in files; killed if it is still running when this goes.
class Child {
public:
    Child(const std::vector<std::string>& words, const std::filesystem::path& output_directory,
          int extra_descriptor = -1, const std::filesystem::path& working_directory = "/")
        : out_(output_directory / "stdout"), err_(output_directory / "stderr") {
        pid_ = start_program(words.front(), {words.begin() + 1, words.end()}, working_directory,
                             out_, err_, {.keep_descriptor = extra_descriptor});
        started_ = Clock::now();
    }
    ~Child() {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }

    /// Waits up to the timeout for the child to end; returns its exit status, or -1.
    int wait(std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                finished_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    bool running() {
        int status = 0;
        return !finished_ && ::waitpid(pid_, &status, WNOHANG) == 0;
    }
    /// The processor time the child has used so far, in milliseconds.
    long cpu_milliseconds() const { return processor_milliseconds(pid_); }
    std::string standard_output() const { return read_text(out_); }
    std::string standard_error() const { return read_text(err_); }

private:
    static std::string read_text(const std::filesystem::path& path) {
        auto bytes = read_file(path);
        return {bytes.begin(), bytes.end()};
    }
    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    Clock::time_point started_;
    bool finished_ = false;
};

// A virtual X server on a display number of its own choosing, ready when constructed.
class VirtualScreen {
public:
    explicit VirtualScreen(const TemporaryDirectory& directory) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        // The server's own messages go to a directory of their own.
        auto logs = directory / "xvfb";
        std::filesystem::create_directory(logs);
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(ends[1]),
                                     "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            logs, ends[1]);
        ::close(ends[1]);
        // The server writes its display number when it accepts clients.
        std::string number;
        pollfd ready{ends[0], POLLIN, 0};
        char byte = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(ends[0], &byte, 1) == 1 && byte != '\n')
            number += byte;
        ::close(ends[0]);
        if (number.empty())
            throw std::runtime_error("Xvfb did not start");
        name_ = ":" + number;
    }
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<Child> server_;
    std::string name_;
};

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Reads a binary PPM (P6) with a maximum value of 255.
Capture read_ppm(const std::filesystem::path& path) {
    auto bytes = read_file(path);
    std::size_t position = 0;
    auto next_number = [&]() {
        while (position < bytes.size()) {
            if (bytes[position] == '#') {
                while (position < bytes.size() && bytes[position] != '\n')
                    ++position;
            } else if (std::isspace(bytes[position])) {
                ++position;
            } else {
                break;
            }
        }
        int value = 0;
        while (position < bytes.size() && std::isdigit(bytes[position]))
            value = value * 10 + (bytes[position++] - '0');
        return value;
    };
    Capture capture;
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6')
        return capture;
    position = 2;
    capture.width = next_number();
    capture.height = next_number();
    int maximum = next_number();
    ++position;  // The one white-space byte before the pixels.
    auto size = static_cast<std::size_t>(capture.width * capture.height * 3);
    if (maximum != 255 || bytes.size() - position < size)
        return {};
    capture.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                       bytes.begin() + static_cast<std::ptrdiff_t>(position + size));
    return capture;
}

// The colour the window shows at the middle of frame pixel (x, y), at whatever whole scale the
// window's size allows, centred.
screen::Rgb shown_at(const Capture& capture, int x, int y) {
    int scale = std::max(1, std::min(capture.width / 320, capture.height / 200));
    int left = (capture.width - 320 * scale) / 2;
    int top = (capture.height - 200 * scale) / 2;
    auto offset = static_cast<std::size_t>(
        ((top + y * scale + scale / 2) * capture.width + left + x * scale + scale / 2) * 3);
    return {capture.rgb[offset], capture.rgb[offset + 1], capture.rgb[offset + 2]};
}

bool near(const screen::Rgb& shown, const screen::Rgb& expected) {
    auto close = [](int a, int b) { return std::abs(a - b) <= 3; };
    return close(shown.red, expected.red) && close(shown.green, expected.green) &&
           close(shown.blue, expected.blue);
}

bool shows(const Capture& capture, const ExpectedFrame& expected) {
    if (capture.width < 320 || capture.height < 200)
        return false;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (!near(shown_at(capture, x, y), expected[static_cast<std::size_t>(y * 320 + x)]))
                return false;
    return true;
}

class Viewer : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::unique_ptr<VirtualScreen> screen;

    void SetUp() override {
        screen = std::make_unique<VirtualScreen>(dir);
        // Under AddressSanitizer, the system libraries SDL loads and unloads (D-Bus, Mesa) leave
        // blocks behind that cannot be traced once unloaded; the program's own memory is checked
        // by the unit tests.
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        std::string options = sanitizer != nullptr ? std::string(sanitizer) + ":" : "";
        ::setenv("ASAN_OPTIONS", (options + "detect_leaks=0").c_str(), 1);
        // Only the virtual screen: no Wayland compositor of a desktop the tests run on.
        ::setenv("DISPLAY", screen->name().c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("SDL_VIDEODRIVER");
    }

    RunResult tool(const std::string& program, const std::vector<std::string>& arguments) {
        return run_program(program, arguments, dir.path(), {.timeout_seconds = 10});
    }

    // Starts the viewer and waits for its window; window is its id, or "" when none appeared.
    // On a loaded machine a virtual X server now and then refuses the viewer's connection (the
    // viewer then ends at once with the no-display message): the viewer is started once more,
    // on a new server, before the test goes on to fail.
    std::unique_ptr<Child> start_viewer(const std::vector<std::string>& words,
                                        const std::filesystem::path& working_directory,
                                        std::string& window) {
        for (int attempt = 0;; ++attempt) {
            auto viewer = std::make_unique<Child>(words, dir.path(), -1, working_directory);
            window = find_window(*viewer);
            if (!window.empty() || attempt == 1 || viewer->running() ||
                viewer->standard_error() != "No se puede iniciar el modo grafico\n")
                return viewer;
            RecordProperty("viewer_started_again", 1);
            viewer->wait(1s);
            screen = std::make_unique<VirtualScreen>(dir);
            ::setenv("DISPLAY", screen->name().c_str(), 1);
        }
    }

    // Waits for the viewer's window to be mapped; returns its id, or "" after the timeout or
    // once the viewer has ended.
    std::string find_window(Child& viewer) {
        auto deadline = Clock::now() + 15s;
        while (Clock::now() < deadline) {
            auto found = tool("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", "^mirva$"});
            std::istringstream lines(found.standard_output);
            std::string id;
            if (lines >> id)
                return id;
            if (!viewer.running())
                return "";
            std::this_thread::sleep_for(50ms);
        }
        return "";
    }

    Capture capture(const std::string& window) {
        auto path = dir / "shot.ppm";
        std::filesystem::remove(path);
        tool("/usr/bin/import", {"-window", window, "-depth", "8", "ppm:" + path.string()});
        return read_ppm(path);
    }

    struct Watched {
        std::vector<int> seen;  // How often each expected frame was seen.
        Capture last;           // The last capture taken.
    };

    // Captures the window until every expected frame has been seen or the time is up.
    Watched watch(const std::string& window, const std::vector<ExpectedFrame>& frames,
                  std::chrono::seconds limit) {
        Watched watched{std::vector<int>(frames.size(), 0), {}};
        auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline &&
               std::count(watched.seen.begin(), watched.seen.end(), 0) > 0) {
            watched.last = capture(window);
            for (std::size_t index = 0; index < frames.size(); ++index)
                if (shows(watched.last, frames[index]))
                    ++watched.seen[index];
        }
        return watched;
    }

    // Sends a key to the window; the viewer must end promptly with status 0, printing nothing.
    void press_key_and_expect_exit(Child& viewer, const std::string& window) {
        tool("/usr/bin/xdotool", {"key", "--window", window, "space"});
        EXPECT_EQ(viewer.wait(10s), 0);
        EXPECT_EQ(viewer.standard_output(), "");
        EXPECT_EQ(viewer.standard_error(), "");
    }
};

TEST_F(Viewer, SnapshotShowsBorderCellsAndBothFlashPhasesUntilAKey) {
    std::string source = std::string(MIRVA_EXAMPLES) + "/testcard.sna";  // Border colour 1.
    std::string window;
    auto started = start_viewer({MIRVA_BINARY, source}, "/", window);
    Child& viewer = *started;
    ASSERT_NE(window, "") << viewer.standard_error();

    auto card = make_test_card();
    auto watched = watch(window, {screen_frame(card, false, 1), screen_frame(card, true, 1)}, 10s);
    EXPECT_GT(watched.seen[0], 0) << "flash phase 0 never seen";
    EXPECT_GT(watched.seen[1], 0) << "flash phase 1 never seen";

    // Some places whatever the phase, for a readable report when the frames are not seen.
    const Capture& last = watched.last;
    ASSERT_GE(last.width, 320);
    ASSERT_GE(last.height, 200);
    EXPECT_EQ(last.width * 200, last.height * 320);        // A whole scale of 320x200.
    EXPECT_TRUE(near(shown_at(last, 0, 0), {0, 0, 202}));  // Border: blue.
    EXPECT_TRUE(near(shown_at(last, 319, 199), {0, 0, 202}));
    EXPECT_TRUE(near(shown_at(last, 32 + 4, 4 + 4), {0, 0, 0}));         // Black paper.
    EXPECT_TRUE(near(shown_at(last, 32 + 20, 4 + 4), {202, 202, 202}));  // White ink.
    EXPECT_TRUE(near(shown_at(last, 32 + 36, 4 + 68), {0, 0, 255}));     // Bright blue paper.

    // Waiting for the flash and for keys sleeps rather than spins: over a second of flashing
    // the viewer uses a small share of one processor.
    // The window is long and the bound loose, so that a busy machine cannot fail it, while a
    // loop that spins still would.
    long before = viewer.cpu_milliseconds();
    std::this_thread::sleep_for(2s);
    long used = viewer.cpu_milliseconds() - before;
    EXPECT_LT(used, 600) << "milliseconds of processor time in two seconds";

    press_key_and_expect_exit(viewer, window);
}

TEST_F(Viewer, PictureShowsCentredInItsOwnPaletteUntilAKey) {
    PcxPicture pcx = stripes_picture();
    write_file(dir / "stripes.pcx", make_pcx(pcx));

    std::string window;
    auto started = start_viewer({MIRVA_BINARY, "stripes.pcx"}, dir.path(), window);
    Child& viewer = *started;
    ASSERT_NE(window, "") << viewer.standard_error();
    auto watched = watch(window, {picture_frame(pcx)}, 10s);
    EXPECT_GT(watched.seen[0], 0) << "the centred picture never seen";
    const Capture& last = watched.last;
    ASSERT_GE(last.width, 320);
    EXPECT_TRUE(near(shown_at(last, 109, 100), {40, 80, 121}));  // Margin: entry 0.
    EXPECT_TRUE(near(shown_at(last, 110, 75), {255, 0, 0}));     // The picture's first pixel.

    // Waiting for the key sleeps.
    long before = viewer.cpu_milliseconds();
    std::this_thread::sleep_for(2s);
    EXPECT_LT(viewer.cpu_milliseconds() - before, 600);

    press_key_and_expect_exit(viewer, window);
}

TEST(ViewerWithoutDisplay, StopsWithOneMessageBeforeShowingAnything) {
    TemporaryDirectory dir;
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("SDL_VIDEODRIVER");
    auto start = Clock::now();
    expect_message(
        run_mirva(dir, {std::string(MIRVA_EXAMPLES) + "/testcard.sna"}, {.timeout_seconds = 20}),
        NO_GRAPHICS);
    EXPECT_LT(Clock::now() - start, 10s);
}

TEST(ViewerLibrary, ProgramLinksNeitherViewerLibraryAndConversionsLoadNone) {
    TemporaryDirectory dir;
    auto linked = run_program("/usr/bin/ldd", {MIRVA_BINARY}, dir.path());
    EXPECT_EQ(linked.exit_status, 0);
    EXPECT_NE(linked.standard_output.find("libc.so"), std::string::npos);
    EXPECT_EQ(linked.standard_output.find("SDL"), std::string::npos) << linked.standard_output;
    EXPECT_EQ(linked.standard_output.find("chafa"), std::string::npos);
    EXPECT_EQ(linked.standard_output.find("glib"), std::string::npos);

    // The dynamic loader lists every library it opens on standard error.
    ::setenv("LD_DEBUG", "libs", 1);
    auto converted = run_mirva(dir, {std::string(MIRVA_EXAMPLES) + "/testcard.sna", "out.scr"});
    ::unsetenv("LD_DEBUG");
    EXPECT_EQ(converted.exit_status, 0);
    EXPECT_NE(converted.standard_error.find("libc.so"), std::string::npos);
    EXPECT_EQ(converted.standard_error.find("SDL"), std::string::npos);
    EXPECT_EQ(converted.standard_error.find("chafa"), std::string::npos);
}

}  // namespace
}  // namespace mirva::testing
