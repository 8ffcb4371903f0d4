#include "display/graphics.h"

#include <gtest/gtest.h>

#include "support/recording_display.h"

namespace mirva::display {
namespace {

using testing::RecordingDisplay;
using Call = RecordingDisplay::Call;

TEST(DrainKeys, WithNoKeyWaitingPollsOnce) {
    RecordingDisplay display;
    display.press(1000, 'a');
    drain_keys(display);
    EXPECT_EQ(display.kinds(), std::vector<Call>{Call::PollKey});
}

TEST(DrainKeys, TakesEveryWaitingKeyWithoutWaitingForAnother) {
    RecordingDisplay display;
    display.press(0, 'a');
    display.press(0, 'b');
    display.press(0, 'c');
    display.press(1000, 'd');
    drain_keys(display);
    EXPECT_EQ(display.kinds(), std::vector<Call>(4, Call::PollKey));
    EXPECT_EQ(display.clock(), 0);
    EXPECT_EQ(display.read_key(), 'd');  // The key that came later is still there.
}

TEST(WaitForKey, ReturnsOnlyAKeyThatCameAfterTheDrain) {
    RecordingDisplay display;
    display.press(0, 'a');
    display.press(800, 'b');
    EXPECT_EQ(wait_for_key(display), 'b');
    EXPECT_EQ(display.kinds(), (std::vector<Call>{Call::PollKey, Call::PollKey, Call::ReadKey}));
}

}  // namespace
}  // namespace mirva::display
