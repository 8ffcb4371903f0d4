#include "display/sdl.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <vector>

#include "base/failure.h"
#include "display/sdl_library.h"
#include "screen/screen_image.h"

// Built without SDL's headers, the program reports that no display can be opened.

namespace mirva::display {

FrameLayout frame_layout(int output_width, int output_height) {
    constexpr int W = screen::FRAME_WIDTH;
    constexpr int H = screen::FRAME_HEIGHT;
    int scale = std::max(1, std::min(output_width / W, output_height / H));
    // An output smaller than the frame shows its middle.
    return {(output_width - W * scale) / 2, (output_height - H * scale) / 2, scale};
}

bool video_driver_shows(std::string_view driver, bool driver_requested) {
    // SDL falls back to its offscreen driver by itself when nothing else opens; a viewer on it
    // would wait for a key nobody can press.
    bool invisible = driver == "offscreen" || driver == "dummy" || driver == "evdev";
    return !invisible || driver_requested;
}

std::uint8_t expand_component(std::uint8_t component) {
    // The palette holds six bits per component (a VGA DAC's); 63 is full intensity.
    unsigned six_bits = component & 0x3Fu;
    return static_cast<std::uint8_t>((six_bits * 255 + 31) / 63);
}

std::unique_ptr<Display> open_sdl_display() {
    return open_sdl_display_with(SDL_LIBRARY);
}

#if MIRVA_WITH_SDL

namespace {

// The key codes read_key and poll_key give for what is not a key with a code of its own.
inline constexpr int KEY_CLOSE = -1;
inline constexpr int KEY_UNKNOWN = -2;

// Where SDL cannot block on its event queue (the console's KMS/DRM and the invisible drivers),
// the queue is looked at this often.
inline constexpr int POLL_MILLISECONDS = 10;

// Standard error pointed at /dev/null for as long as this lives. The libraries SDL opens (the
// Wayland client's, Mesa's) report their own troubles there, and the program prints nothing
// but its one message.
class QuietStandardError {
public:
    QuietStandardError() {
        (void)std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStandardError() {
        (void)std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

void nap(int milliseconds) {
    timespec interval{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    ::nanosleep(&interval, nullptr);
}

// Shift, Control, Alt and the like only change other keys (and start a desktop's window
// switching), so pressing one alone is not a key.
bool is_modifier(SDL_Scancode scancode) {
    return (scancode >= SDL_SCANCODE_LCTRL && scancode <= SDL_SCANCODE_RGUI) ||
           scancode == SDL_SCANCODE_MODE;
}

class SdlDisplay final : public Display {
public:
    explicit SdlDisplay(const SdlLibrary& sdl) : sdl_(sdl) {}
    ~SdlDisplay() override { close(); }
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    /// Starts SDL's video; returns false, with SDL stopped, when nothing can be shown.
    bool start();
    void graphics_on() override;
    void graphics_off() override { close(); }
    void set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue) override;
    void show_frame(std::span<const std::uint8_t> frame) override;
    int poll_key() override;
    int read_key() override;
    void pause(int milliseconds) override;

private:
    void close();
    void make_texture();
    void upload();
    void redraw();
    void handle(const SDL_Event& event);
    void handle_waiting_events();
    void wait_for_events(int milliseconds);
    int take_key();

    SdlLibrary sdl_;
    bool initialised_ = false;
    bool can_block_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::array<std::uint32_t, 256> colours_{};  // The palette as ARGB8888 pixels.
    bool colours_changed_ = false;
    std::vector<std::uint8_t> frame_;  // The frame on screen; empty before the first one.
    std::deque<int> keys_;             // Keys read from SDL's queue and not yet taken.
};

bool SdlDisplay::start() {
    assert(!initialised_);
    // Root is never taken back: SDL reads environment variables and loads plug-ins, so a
    // set-user-id program that started it as root would run any user's code as root.
    if (::seteuid(::getuid()) != 0)
        base::error(base::MSG_INTERNAL);
    QuietStandardError quiet;
    if (sdl_.init(SDL_INIT_VIDEO) != 0)
        return false;
    initialised_ = true;
    const char* driver_name = sdl_.current_video_driver();
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (driver_name == nullptr ||
        !video_driver_shows(driver_name, requested != nullptr && *requested != '\0')) {
        close();
        return false;
    }
    return true;
}

void SdlDisplay::graphics_on() {
    if (!initialised_ && !start())
        base::error(base::MSG_NO_GRAPHICS);
    QuietStandardError quiet;
    std::string_view driver(sdl_.current_video_driver());
    can_block_ = driver == "x11" || driver == "wayland";

    // A desktop gets a window of the largest whole scale its screen holds; the console's
    // KMS/DRM screen is taken whole, as the console's own graphics mode would be.
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (driver == "KMSDRM")
        flags = SDL_WINDOW_FULLSCREEN_DESKTOP;
    // An invisible driver (asked for by name, as tests do) needs no graphics processor.
    Uint32 renderer_flags = 0;
    if (!video_driver_shows(driver, false)) {
        sdl_.set_hint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_flags = SDL_RENDERER_SOFTWARE;
    }
    int scale = 1;
    SDL_Rect bounds{};
    if (sdl_.display_usable_bounds(0, &bounds) == 0)
        scale = frame_layout(bounds.w, bounds.h).scale;
    window_ = sdl_.create_window("mirva", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 screen::FRAME_WIDTH * scale, screen::FRAME_HEIGHT * scale, flags);
    if (window_ == nullptr)
        base::error(base::MSG_NO_GRAPHICS);
    renderer_ = sdl_.create_renderer(window_, -1, renderer_flags);
    if (renderer_ == nullptr)
        base::error(base::MSG_NO_GRAPHICS);
    make_texture();
    sdl_.show_cursor(SDL_DISABLE);
    redraw();
}

void SdlDisplay::close() {
    if (texture_ != nullptr)
        sdl_.destroy_texture(texture_);
    if (renderer_ != nullptr)
        sdl_.destroy_renderer(renderer_);
    if (window_ != nullptr)
        sdl_.destroy_window(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    // Leaving SDL gives a console back its text mode.
    if (initialised_)
        sdl_.quit();
    initialised_ = false;
    frame_.clear();
    keys_.clear();
}

void SdlDisplay::make_texture() {
    if (texture_ != nullptr)
        sdl_.destroy_texture(texture_);
    texture_ = sdl_.create_texture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                   screen::FRAME_WIDTH, screen::FRAME_HEIGHT);
    if (texture_ == nullptr)
        base::error(base::MSG_NO_GRAPHICS);
    colours_changed_ = true;
}

void SdlDisplay::set_palette_entry(int index, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue) {
    if (index < 0 || index >= static_cast<int>(colours_.size()))
        return;
    colours_[static_cast<std::size_t>(index)] =
        0xFF000000u | std::uint32_t{expand_component(red)} << 16 |
        std::uint32_t{expand_component(green)} << 8 | std::uint32_t{expand_component(blue)};
    colours_changed_ = true;
}

void SdlDisplay::show_frame(std::span<const std::uint8_t> frame) {
    assert(frame.size() == screen::FRAME_BYTES);
    frame_.assign(frame.begin(), frame.end());
    colours_changed_ = true;
    redraw();
}

// Turns the frame's palette indices into the texture's colours; an index is a byte, so every
// one names an entry of the 256-entry palette.
void SdlDisplay::upload() {
    if (texture_ == nullptr || frame_.empty())
        return;
    std::vector<std::uint32_t> pixels(frame_.size());
    std::transform(frame_.begin(), frame_.end(), pixels.begin(),
                   [this](std::uint8_t index) { return colours_[index]; });
    sdl_.update_texture(texture_, nullptr, pixels.data(),
                        screen::FRAME_WIDTH * static_cast<int>(sizeof(std::uint32_t)));
    colours_changed_ = false;
}

void SdlDisplay::redraw() {
    if (renderer_ == nullptr)
        return;
    if (colours_changed_)
        upload();
    int width = 0;
    int height = 0;
    sdl_.renderer_output_size(renderer_, &width, &height);
    FrameLayout layout = frame_layout(width, height);
    sdl_.set_render_draw_color(renderer_, 0, 0, 0, 255);
    sdl_.render_clear(renderer_);
    if (!frame_.empty()) {
        SDL_Rect target{layout.x, layout.y, screen::FRAME_WIDTH * layout.scale,
                        screen::FRAME_HEIGHT * layout.scale};
        sdl_.render_copy(renderer_, texture_, nullptr, &target);
    }
    sdl_.render_present(renderer_);
}

void SdlDisplay::handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            keys_.push_back(KEY_CLOSE);
            break;
        case SDL_KEYDOWN:
            if (!is_modifier(event.key.keysym.scancode))
                keys_.push_back(event.key.keysym.sym != 0 ? event.key.keysym.sym : KEY_UNKNOWN);
            break;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    keys_.push_back(KEY_CLOSE);
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                    redraw();
                    break;
                default:
                    break;
            }
            break;
        case SDL_RENDER_TARGETS_RESET:
            redraw();
            break;
        case SDL_RENDER_DEVICE_RESET:
            // The textures are lost with the device.
            texture_ = nullptr;
            make_texture();
            redraw();
            break;
        default:
            break;
    }
}

void SdlDisplay::handle_waiting_events() {
    SDL_Event event;
    while (sdl_.poll_event(&event) != 0)
        handle(event);
    if (colours_changed_ && !frame_.empty())
        redraw();
}

// Handles the events that come within the milliseconds (-1: waits until one comes); may return
// early.
void SdlDisplay::wait_for_events(int milliseconds) {
    if (can_block_) {
        SDL_Event event;
        if (sdl_.wait_event_timeout(&event, milliseconds) != 0)
            handle(event);
    } else {
        nap(milliseconds < 0 ? POLL_MILLISECONDS : std::min(milliseconds, POLL_MILLISECONDS));
    }
    handle_waiting_events();
}

int SdlDisplay::take_key() {
    if (keys_.empty())
        return 0;
    int key = keys_.front();
    keys_.pop_front();
    return key;
}

int SdlDisplay::poll_key() {
    if (initialised_)
        handle_waiting_events();
    return take_key();
}

int SdlDisplay::read_key() {
    assert(initialised_);
    if (keys_.empty())
        handle_waiting_events();
    while (keys_.empty())
        wait_for_events(-1);
    return take_key();
}

void SdlDisplay::pause(int milliseconds) {
    if (!initialised_) {
        nap(milliseconds);
        return;
    }
    Uint64 deadline = sdl_.ticks() + static_cast<Uint64>(std::max(milliseconds, 0));
    for (Uint64 now = sdl_.ticks(); now < deadline; now = sdl_.ticks())
        wait_for_events(static_cast<int>(deadline - now));
}

}  // namespace

std::unique_ptr<Display> open_sdl_display_with(const char* library) {
    return std::make_unique<SdlDisplay>(load_sdl(library));
}

std::unique_ptr<Display> open_shown_sdl_display() {
    std::optional<SdlLibrary> sdl = find_sdl(SDL_LIBRARY);
    if (!sdl)
        return nullptr;
    auto display = std::make_unique<SdlDisplay>(*sdl);
    if (!display->start())
        return nullptr;
    return display;
}

#else

std::unique_ptr<Display> open_sdl_display_with(const char*) {
    base::error(base::MSG_NO_GRAPHICS);
}

std::unique_ptr<Display> open_shown_sdl_display() {
    return nullptr;
}

#endif

}  // namespace mirva::display
