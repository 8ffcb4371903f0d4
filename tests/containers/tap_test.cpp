#include "containers/tap.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One tape block: its two-byte length, then the bytes.
Bytes tap_block(const Bytes& block) {
    Bytes bytes{static_cast<std::uint8_t>(block.size() & 0xFF),
                static_cast<std::uint8_t>(block.size() >> 8)};
    bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

// A 6914-byte block holding the screen, with the given flag and a checksum of 0x5A.
Bytes screen_block(const screen::ScreenImage& screen, std::uint8_t flag = 0xFF) {
    Bytes block{flag};
    block.insert(block.end(), screen.begin(), screen.end());
    block.push_back(0x5A);
    return tap_block(block);
}

Bytes operator+(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

screen::ScreenImage read(const Bytes& tape) {
    base::MemorySource source(tape);
    return read_tap_screen(source, "in.tap");
}

TEST(WriteTapScreen, WritesAHeaderAndADataBlockWithTheirChecksums) {
    screen::ScreenImage zero{};
    Bytes tape = write_tap_screen(zero);
    ASSERT_EQ(tape.size(), 6937u);
    EXPECT_EQ(Bytes(tape.begin(), tape.begin() + 24),
              Bytes(tap_screen_header.begin(), tap_screen_header.end()));
    EXPECT_EQ(tape.back(), 0xFF);
    std::uint8_t header_checksum = 0;
    for (std::size_t i = 2; i < 20; ++i)
        header_checksum ^= tape[i];
    EXPECT_EQ(header_checksum, tape[20]);

    screen::ScreenImage one_ff{};
    one_ff[4321] = 0xFF;
    EXPECT_EQ(write_tap_screen(one_ff).back(), 0x00);

    auto card = testing::make_test_card();
    Bytes written = write_tap_screen(card);
    EXPECT_TRUE(std::equal(card.begin(), card.end(), written.begin() + 24));
    std::uint8_t data_checksum = 0;
    for (std::size_t i = 23; i < 6937; ++i)  // Flag, screen and checksum XOR to 0.
        data_checksum ^= written[i];
    EXPECT_EQ(data_checksum, 0);
    EXPECT_EQ(read(written), card);
}

TEST(ReadTapScreen, TakesTheFirstBlockOfAScreensLength) {
    auto first = testing::make_random_screen(1);
    auto second = testing::make_random_screen(2);
    // The flag and checksum are not looked at, nor is a later block of the same length.
    EXPECT_EQ(read(screen_block(first, 0x00) + screen_block(second)), first);
    // Blocks of other lengths, empty ones included, are skipped.
    Bytes others = tap_block({}) + tap_block(Bytes(6913, 1)) + tap_block(Bytes(6915, 2)) +
                   tap_block(Bytes(first.begin(), first.end())) + tap_block({3});
    EXPECT_EQ(read(others + screen_block(second)), second);
}

TEST(ReadTapScreen, ATapeWithoutAScreenSaysSoWithoutItsName) {
    using base::MSG_TAP_WITHOUT_SCREEN;
    EXPECT_FAILURE(read({}), MSG_TAP_WITHOUT_SCREEN);
    EXPECT_FAILURE(read({0x02}), MSG_TAP_WITHOUT_SCREEN);
    EXPECT_FAILURE(read(tap_block(Bytes(6912, 0)) + tap_block({1, 2})), MSG_TAP_WITHOUT_SCREEN);
    // A block running past the end is skipped; then the next length is missing.
    EXPECT_FAILURE(read(Bytes{0x10, 0x27, 1, 2, 3}), MSG_TAP_WITHOUT_SCREEN);
    EXPECT_FAILURE(read(tap_block({9}) + Bytes{0x02}), MSG_TAP_WITHOUT_SCREEN);
}

TEST(ReadTapScreen, AScreenBlockCutShortIsAReadFailure) {
    Bytes block = screen_block(testing::make_test_card());
    block.resize(2 + 1 + 6911);  // One screen byte short; the checksum is never needed.
    EXPECT_FAILURE(read(block), "Error leyendo del fichero in.tap");
    EXPECT_FAILURE(read(Bytes{0x02, 0x1B}), "Error leyendo del fichero in.tap");
    block.push_back(0);
    EXPECT_NO_THROW(read(block));
}

}  // namespace
}  // namespace mirva::containers
