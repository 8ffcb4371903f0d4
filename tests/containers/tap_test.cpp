#include "containers/tap.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/counting_source.h"
#include "support/expect_failure.h"
#include "support/tap_file.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::tap_block;
using testing::operator+;

// A 6914-byte block holding the screen, with the given flag and a checksum of 0x5A.
Bytes screen_block(const screen::ScreenImage& screen, std::uint8_t flag = 0xFF) {
    return tap_block(Bytes{flag} + Bytes(screen.begin(), screen.end()) + Bytes{0x5A});
}

void append(Bytes& tape, const Bytes& bytes) {
    tape.insert(tape.end(), bytes.begin(), bytes.end());
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

// The tape read one block at a time, a read and a skip each: what the reader must still give.
std::optional<screen::ScreenImage> read_block_by_block(const Bytes& tape) {
    base::MemorySource source(tape);
    std::array<std::uint8_t, 2> length{};
    while (source.read_all(length)) {
        if (base::little_endian_16(length) == 6914) {
            screen::ScreenImage screen{};
            if (!source.skip(1) || !source.read_all(screen))
                return std::nullopt;
            return screen;
        }
        source.skip(base::little_endian_16(length));
    }
    return std::nullopt;
}

TEST(ReadTapScreen, GivesWhatReadingBlockByBlockGives) {
    // Runs of empty blocks, odd and even runs of zeros, short and long blocks, a screen block
    // whole or cut, crossing the reader's buffer anywhere.
    std::uint64_t state = 12345;
    auto next = [&state](std::uint64_t limit) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % limit;
    };
    auto card = testing::make_test_card();
    for (int round = 0; round < 300; ++round) {
        Bytes tape;
        auto pieces = 1 + next(12);
        for (std::uint64_t piece = 0; piece < pieces; ++piece) {
            switch (next(6)) {
                case 0:
                    tape.resize(tape.size() + next(70000));  // Zeros: empty blocks.
                    break;
                case 1:
                    for (auto count = next(30000); count > 0; --count)
                        append(tape, tap_block({static_cast<std::uint8_t>(next(256))}));
                    break;
                case 2:
                    append(tape, tap_block(Bytes(next(66000), 0x11)));
                    break;
                case 3:
                    append(tape, screen_block(card));
                    break;
                case 4:
                    for (auto count = next(300); count > 0; --count)
                        tape.push_back(static_cast<std::uint8_t>(next(256)));
                    break;
                default:
                    append(tape, tap_block(Bytes(next(600), 0x22)));
            }
        }
        if (next(3) == 0)
            tape.resize(next(tape.size() + 1));
        auto expected = read_block_by_block(tape);
        SCOPED_TRACE("round " + std::to_string(round));
        if (expected) {
            ASSERT_EQ(read(tape), *expected);
        } else {
            base::MemorySource source(tape);
            ASSERT_THROW(read_tap_screen(source, "in.tap"), base::Failure);
        }
    }
}

TEST(ReadTapScreen, ReadsALongChainOfSmallBlocksInFewCalls) {
    auto card = testing::make_test_card();
    for (const Bytes& block : {Bytes{}, Bytes{7}, Bytes(99, 3)}) {
        Bytes tape;
        while (tape.size() < 1000000)
            append(tape, tap_block(block));
        append(tape, screen_block(card));
        testing::CountingSource source(tape);
        EXPECT_EQ(read_tap_screen(source, "in.tap"), card);
        EXPECT_LT(source.calls(), 40u);  // One read per 64 KiB.
    }
}

}  // namespace
}  // namespace mirva::containers
