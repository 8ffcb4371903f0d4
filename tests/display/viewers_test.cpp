#include "display/viewers.h"

#include <gtest/gtest.h>

#include "screen/framing.h"
#include "screen/render.h"
#include "support/expect_failure.h"
#include "support/recording_display.h"
#include "support/test_card.h"

namespace mirva::display {
namespace {

using testing::RecordingDisplay;
using Call = RecordingDisplay::Call;

constexpr int KEY = 'k';

// The frame view_screen should show for the screen in one flash phase.
std::vector<std::uint8_t> expected_frame(const screen::ScreenImage& screen, bool phase,
                                         std::uint8_t border, bool bw = false) {
    screen::Picture picture = screen::render_screen(screen, bw, false, phase);
    screen::frame_picture(picture.pixels, picture.width, picture.height, border);
    return picture.pixels;
}

bool is_margin(std::size_t offset) {
    std::size_t row = offset / 320;
    std::size_t column = offset % 320;
    return row < 4 || row >= 196 || column < 32 || column >= 288;
}

// The calls of a screen viewer that ends after the given number of half seconds.
std::vector<Call> flashing_calls(int half_seconds, int keys_drained) {
    std::vector<Call> calls{Call::GraphicsOn};
    calls.insert(calls.end(), 16, Call::Palette);
    for (int phase = 0; phase < half_seconds; ++phase)
        calls.insert(calls.end(), {Call::ShowFrame, Call::Pause, Call::PollKey});
    calls.insert(calls.end(), static_cast<std::size_t>(keys_drained) + 1, Call::PollKey);
    calls.push_back(Call::GraphicsOff);
    return calls;
}

class ViewScreen : public ::testing::Test {
protected:
    RecordingDisplay display;
    screen::ScreenImage card = testing::make_test_card();
};

TEST_F(ViewScreen, SetsSpectrumColoursThenAlternatesPhasesFromPhaseZero) {
    display.press(1200, KEY);  // While the second showing of phase 0 is up.
    view_screen(display, card, {}, 1);

    EXPECT_EQ(display.kinds(), flashing_calls(3, 0));
    auto palette = display.of(Call::Palette);
    ASSERT_EQ(palette.size(), 16u);
    for (std::size_t index = 0; index < 16; ++index) {
        EXPECT_EQ(palette[index].index, static_cast<int>(index));
        EXPECT_EQ(palette[index].colour, screen::spectrum_palette[index]) << index;
    }
    auto frames = display.of(Call::ShowFrame);
    auto phase_0 = expected_frame(card, false, 1);
    auto phase_1 = expected_frame(card, true, 1);
    ASSERT_NE(phase_0, phase_1);  // The test card has flashing cells.
    EXPECT_EQ(frames[0].frame, phase_0);
    EXPECT_EQ(frames[1].frame, phase_1);
    EXPECT_EQ(frames[2].frame, phase_0);
    for (const auto& pause : display.of(Call::Pause))
        EXPECT_EQ(pause.milliseconds, 500);
    // The key is looked at only when its half second is over.
    EXPECT_EQ(display.of(Call::PollKey)[2].key, KEY);
    EXPECT_EQ(display.of(Call::PollKey)[2].clock, 1500);
}

TEST_F(ViewScreen, KeyDuringPhaseOneLeavesPhaseOneOnScreen) {
    display.press(700, KEY);
    view_screen(display, card, {}, 0);
    EXPECT_EQ(display.kinds(), flashing_calls(2, 0));
    EXPECT_EQ(display.of(Call::ShowFrame).back().frame, expected_frame(card, true, 0));
    EXPECT_EQ(display.clock(), 1000);
}

TEST_F(ViewScreen, DrainsKeysLeftAfterTheOneThatEnds) {
    display.press(100, 'a');
    display.press(200, 'b');
    display.press(300, 'c');
    view_screen(display, card, {}, 0);
    EXPECT_EQ(display.kinds(), flashing_calls(1, 2));
    auto polls = display.of(Call::PollKey);
    EXPECT_EQ(polls[0].key, 'a');
    EXPECT_EQ(polls[1].key, 'b');
    EXPECT_EQ(polls[2].key, 'c');
    EXPECT_EQ(polls[3].key, 0);
}

TEST_F(ViewScreen, MarginsKeepTheBorderColourInBlackAndWhite) {
    display.press(0, KEY);
    view_screen(display, card, {.bw = true}, 2);
    EXPECT_EQ(display.of(Call::Palette)[2].colour, (screen::Rgb{50, 0, 0}));
    const auto frame = display.of(Call::ShowFrame)[0].frame;
    ASSERT_EQ(frame, expected_frame(card, false, 2, true));
    for (std::size_t offset = 0; offset < frame.size(); ++offset) {
        if (is_margin(offset))
            ASSERT_EQ(frame[offset], 2) << offset;
        else
            ASSERT_TRUE(frame[offset] == 8 || frame[offset] == 15) << offset;
    }
}

TEST_F(ViewScreen, BorderByteAboveFifteenShowsItsLowThreeBits) {
    EXPECT_EQ(shown_border_colour(0), 0);
    EXPECT_EQ(shown_border_colour(7), 7);
    EXPECT_EQ(shown_border_colour(9), 9);  // A bright entry, set like every entry up to 15.
    EXPECT_EQ(shown_border_colour(15), 15);
    EXPECT_EQ(shown_border_colour(16), 0);
    EXPECT_EQ(shown_border_colour(0x4A), 2);
    EXPECT_EQ(shown_border_colour(0xFF), 7);

    display.press(0, KEY);
    view_screen(display, card, {}, 0xFE);
    const auto frame = display.of(Call::ShowFrame)[0].frame;
    EXPECT_EQ(frame[0], 6);
    // Every index shown is one of the 16 entries set.
    EXPECT_TRUE(
        std::all_of(frame.begin(), frame.end(), [](std::uint8_t index) { return index < 16; }));
}

TEST_F(ViewScreen, ReturnsToTextModeWhenTheDisplayFails) {
    display.fail_at = Call::ShowFrame;
    EXPECT_FAILURE(view_screen(display, card, {}, 0), "failure from the display");
    EXPECT_EQ(display.kinds().back(), Call::GraphicsOff);

    // A failure to enter graphics mode leaves nothing to undo.
    RecordingDisplay refusing;
    refusing.fail_at = Call::GraphicsOn;
    EXPECT_FAILURE(view_screen(refusing, card, {}, 0), "failure from the display");
    EXPECT_EQ(refusing.kinds(), std::vector<Call>{Call::GraphicsOn});
}

class ViewPicture : public ::testing::Test {
protected:
    RecordingDisplay display;
    screen::Palette palette{};
    screen::Picture picture;

    void SetUp() override {
        for (std::size_t index = 0; index < palette.size(); ++index) {
            auto value = static_cast<std::uint8_t>(index % 64);
            palette[index] = {value, static_cast<std::uint8_t>(63 - value),
                              static_cast<std::uint8_t>(index / 4)};
        }
        picture.width = 100;
        picture.height = 50;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                picture.pixels[static_cast<std::size_t>(y * 100 + x)] =
                    static_cast<std::uint8_t>(1 + (x + y) % 255);
    }
};

TEST_F(ViewPicture, ShowsPictureCentredInItsPaletteUntilANewKey) {
    display.press(0, 'a');  // Typed before the picture showed: thrown away.
    display.press(3000, 'b');
    view_picture(display, picture, palette, 0);

    std::vector<Call> expected{Call::GraphicsOn};
    expected.insert(expected.end(), 256, Call::Palette);
    expected.insert(expected.end(), {Call::ShowFrame, Call::PollKey, Call::PollKey, Call::ReadKey,
                                     Call::GraphicsOff});
    EXPECT_EQ(display.kinds(), expected);
    auto entries = display.of(Call::Palette);
    for (std::size_t index = 0; index < 256; ++index) {
        EXPECT_EQ(entries[index].index, static_cast<int>(index));
        EXPECT_EQ(entries[index].colour, palette[index]) << index;
    }
    EXPECT_EQ(display.of(Call::ReadKey)[0].key, 'b');

    // Rows 75..124, columns 110..209; the margins are entry 0 of the picture's palette.
    const auto frame = display.of(Call::ShowFrame)[0].frame;
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 320; ++column) {
            int x = column - 110;
            int y = row - 75;
            bool inside = x >= 0 && x < 100 && y >= 0 && y < 50;
            auto expected_index = inside ? static_cast<std::uint8_t>(1 + (x + y) % 255) : 0;
            ASSERT_EQ(frame[static_cast<std::size_t>(row * 320 + column)], expected_index)
                << "row " << row << " column " << column;
        }
    }
}

TEST_F(ViewPicture, ReturnsToTextModeWhenWaitingFails) {
    display.fail_at = Call::ReadKey;
    display.press(10, 'a');
    EXPECT_FAILURE(view_picture(display, picture, palette, 0), "failure from the display");
    EXPECT_EQ(display.kinds().back(), Call::GraphicsOff);
}

TEST(ViewRgbPicture, ShowsTheColoursTheFitTakesOnBlackMargins) {
    // Three pixels, two of one 6-bit colour, in a 3x1 picture; -i inverts what is shown.
    const screen::RgbPicture picture{3, 1, {255, 0, 0, 0, 0, 250, 1, 2, 251}, {}};
    for (bool inverse : {false, true}) {
        RecordingDisplay display;
        display.press(10, 'k');
        view_rgb_picture(display, picture, screen::Options{.inverse = inverse});
        auto entries = display.of(Call::Palette);
        ASSERT_EQ(entries.size(), 256u);
        auto shown = [&](screen::Rgb colour) {
            return inverse ? screen::Rgb{static_cast<std::uint8_t>(63 - colour.red),
                                         static_cast<std::uint8_t>(63 - colour.green),
                                         static_cast<std::uint8_t>(63 - colour.blue)}
                           : colour;
        };
        EXPECT_EQ(entries[0].colour, shown({0, 0, 0}));
        EXPECT_EQ(entries[1].colour, shown({63, 0, 0}));
        EXPECT_EQ(entries[2].colour, shown({0, 0, 62}));
        // Row 100, columns 158..160 of the frame; everything else the margin, entry 0.
        const auto frame = display.of(Call::ShowFrame)[0].frame;
        std::vector<std::uint8_t> expected(64000, 0);
        expected[100 * 320 + 158] = 1;
        expected[100 * 320 + 159] = 2;
        expected[100 * 320 + 160] = 2;
        EXPECT_EQ(frame, expected);
    }
}

}  // namespace
}  // namespace mirva::display
