#include "display/sdl.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/failure.h"
#include "support/expect_failure.h"

namespace mirva::display {
namespace {

using Clock = std::chrono::steady_clock;

long milliseconds_since(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(FrameLayout, LargestWholeScaleCentred) {
    EXPECT_EQ(frame_layout(320, 200), (FrameLayout{0, 0, 1}));
    EXPECT_EQ(frame_layout(960, 600), (FrameLayout{0, 0, 3}));
    EXPECT_EQ(frame_layout(1024, 768), (FrameLayout{32, 84, 3}));
    EXPECT_EQ(frame_layout(959, 600), (FrameLayout{159, 100, 2}));  // One pixel short of 3.
    EXPECT_EQ(frame_layout(1920, 1080), (FrameLayout{160, 40, 5}));
    // An output smaller than the frame shows its middle at scale 1.
    EXPECT_EQ(frame_layout(100, 50), (FrameLayout{-110, -75, 1}));
    EXPECT_EQ(frame_layout(0, 0), (FrameLayout{-160, -100, 1}));
}

TEST(ExpandComponent, SixBitsToEight) {
    EXPECT_EQ(expand_component(0), 0);
    EXPECT_EQ(expand_component(63), 255);
    EXPECT_EQ(expand_component(50), 202);
    EXPECT_EQ(expand_component(32), 130);
    EXPECT_EQ(expand_component(64), 0);  // Only six bits count.
    EXPECT_EQ(expand_component(255), 255);
}

TEST(OpenSdlDisplay, LibraryMissingOrNotSdlIsNoGraphics) {
    EXPECT_FAILURE(open_sdl_display_with("libmirva-no-such-library.so.0"), base::MSG_NO_GRAPHICS);
    EXPECT_FAILURE(open_sdl_display_with("libm.so.6"), base::MSG_NO_GRAPHICS);
}

// The SDL the display loaded, reached the same way, to inject events and set hints.
template <typename Function>
Function* sdl_function(const char* name) {
    void* library = ::dlopen(SDL_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr)
        throw std::runtime_error("SDL is not loaded");
    auto* function = reinterpret_cast<Function*>(::dlsym(library, name));
    if (function == nullptr)
        throw std::runtime_error(name);
    return function;
}

void push(const SDL_Event& event) {
    ASSERT_EQ(
        sdl_function<decltype(SDL_PushEvent)>("SDL_PushEvent")(const_cast<SDL_Event*>(&event)), 1);
}

SDL_Event key_event(Uint32 type, SDL_Keycode key, SDL_Scancode scancode) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    return event;
}

SDL_Event window_event(SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = static_cast<Uint8>(id);
    return event;
}

// The display under one of SDL's invisible video drivers, asked for by name.
class SdlDisplay : public ::testing::TestWithParam<const char*> {
protected:
    std::unique_ptr<Display> display;

    void SetUp() override {
        ::setenv("SDL_VIDEODRIVER", GetParam(), 1);
        display = open_sdl_display();
        display->graphics_on();
        for (int index = 0; index < 256; ++index)
            display->set_palette_entry(index, static_cast<std::uint8_t>(index % 64), 0, 0);
        std::vector<std::uint8_t> frame(64000);
        for (std::size_t offset = 0; offset < frame.size(); ++offset)
            frame[offset] = static_cast<std::uint8_t>(offset);
        display->show_frame(frame);
    }
    void TearDown() override {
        display->graphics_off();
        ::unsetenv("SDL_VIDEODRIVER");
    }
};

TEST_P(SdlDisplay, KeyDownIsAKeyTakenOnce) {
    EXPECT_EQ(display->poll_key(), 0);
    push(key_event(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q));
    EXPECT_EQ(display->poll_key(), SDLK_q);
    EXPECT_EQ(display->poll_key(), 0);
}

TEST_P(SdlDisplay, KeyUpAndModifiersAloneAreNotKeys) {
    push(key_event(SDL_KEYUP, SDLK_q, SDL_SCANCODE_Q));
    push(key_event(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT));
    push(key_event(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT));
    EXPECT_EQ(display->poll_key(), 0);
}

TEST_P(SdlDisplay, ClosingTheWindowCountsAsAKey) {
    push(window_event(SDL_WINDOWEVENT_CLOSE));
    EXPECT_NE(display->poll_key(), 0);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_NE(display->poll_key(), 0);
    EXPECT_EQ(display->poll_key(), 0);
}

TEST_P(SdlDisplay, PauseLastsItsTimeAndLeavesKeysWaiting) {
    push(key_event(SDL_KEYDOWN, SDLK_SPACE, SDL_SCANCODE_SPACE));
    auto start = Clock::now();
    display->pause(200);
    long elapsed = milliseconds_since(start);
    EXPECT_GE(elapsed, 195);
    EXPECT_LT(elapsed, 2000);
    EXPECT_EQ(display->poll_key(), SDLK_SPACE);
}

TEST_P(SdlDisplay, ReadKeyWaitsForAKeyThatComesLater) {
    auto start = Clock::now();
    std::thread typist([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        push(key_event(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN));
    });
    int key = display->read_key();
    typist.join();
    EXPECT_EQ(key, SDLK_RETURN);
    EXPECT_GE(milliseconds_since(start), 145);
}

INSTANTIATE_TEST_SUITE_P(InvisibleDrivers, SdlDisplay, ::testing::Values("offscreen", "dummy"));

TEST(SdlDisplayDriver, OffscreenChosenBySdlItselfIsNoDisplay) {
    // The hint makes SDL pick its offscreen driver as it does when nothing else opens, while
    // the environment asks for no driver.
    ::unsetenv("SDL_VIDEODRIVER");
    auto display = open_sdl_display();
    auto set_hint = sdl_function<decltype(SDL_SetHint)>("SDL_SetHint");
    set_hint(SDL_HINT_VIDEODRIVER, "offscreen");
    EXPECT_FAILURE(display->graphics_on(), base::MSG_NO_GRAPHICS);
    set_hint(SDL_HINT_VIDEODRIVER, nullptr);
    display.reset();
    EXPECT_EQ(sdl_function<decltype(SDL_WasInit)>("SDL_WasInit")(SDL_INIT_VIDEO), 0u);
}

}  // namespace
}  // namespace mirva::display
