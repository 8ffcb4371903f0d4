#include "containers/pzx.h"

#include <gtest/gtest.h>

#include "containers/tzx.h"
#include "support/expect_failure.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using testing::Bytes;
using testing::little_endian_bytes;
using testing::operator+;
using testing::pzx_block;
using testing::pzx_data_block;
using testing::pzx_header;
using testing::screen_data;

const std::string READ_FAILURE = "Error leyendo del fichero in.pzx";

screen::ScreenImage read(const Bytes& tape) {
    base::MemorySource source(tape);
    return read_pzx_screen(source, "in.pzx");
}

TEST(ReadPzxScreen, TakesTheFirstDataBlockOfAScreensLength) {
    const auto first = testing::make_random_screen(1);
    const auto second = testing::make_random_screen(2);
    // Blocks of every other tag, and data blocks of other lengths, are passed over; the flag and
    // the checksum are not looked at.
    Bytes data = screen_data(first, 0x00);
    data.back() ^= 0x55;
    Bytes before =
        pzx_block("PULS", little_endian_bytes(0x8000 | 3223, 2) + little_endian_bytes(2168, 2)) +
        pzx_block("PAUS", little_endian_bytes(3'500'000, 4)) +
        pzx_block("BRWS", Bytes{'l', 'e', 'v', 'e', 'l', 0}) + pzx_block("STOP", Bytes{1, 0}) +
        pzx_block("inly", Bytes(40, 0xFF)) + pzx_block("????", {}) +
        pzx_data_block(Bytes(6913, 1)) + pzx_data_block(Bytes(6915, 2)) + pzx_data_block({});
    EXPECT_EQ(
        read(pzx_header() + before + pzx_data_block(data) + pzx_data_block(screen_data(second))),
        first);
}

TEST(ReadPzxScreen, CountsTheDataInBitsRoundedUpToBytes) {
    const auto card = testing::make_test_card();
    const Bytes data = screen_data(card);
    struct Case {
        std::uint32_t bit_count;
        bool screen;
    };
    for (Case c : {Case{6914 * 8, true}, Case{6913 * 8 + 1, true}, Case{6913 * 8, false},
                   Case{0x8000'0000u | (6914 * 8), true}, Case{0x8000'0000u | (6913 * 8), false}}) {
        // The block holds 6914 bytes of data either way; only the bit count says how many count.
        Bytes block = pzx_data_block(data, c.bit_count);
        if (!c.screen) {
            block[4] = static_cast<std::uint8_t>(block[4] - 1);  // The block length, one less.
            block.pop_back();
        }
        Bytes tape = pzx_header() + block;
        if (c.screen)
            EXPECT_EQ(read(tape), card) << c.bit_count;
        else
            EXPECT_FAILURE(read(tape), base::MSG_PZX_WITHOUT_SCREEN);
    }
}

TEST(ReadPzxScreen, ReadsVersionOneOnlyFromItsHeaderBlock) {
    const auto card = testing::make_test_card();
    const Bytes block = pzx_data_block(screen_data(card));
    for (std::uint8_t minor : {0, 1, 9, 255})
        EXPECT_EQ(read(pzx_header(1, minor) + block), card);
    EXPECT_EQ(read(pzx_block("PZXT", {1, 0}) + block), card);  // No title.
    EXPECT_FAILURE(read(pzx_header()), base::MSG_PZX_WITHOUT_SCREEN);
    for (const Bytes& refused :
         {Bytes{}, Bytes{'P', 'Z', 'X', 'T', 2, 0, 0}, pzx_block("PZXT", {1}) + block,
          pzx_block("PZXT", {}) + block, pzx_header(0, 9) + block, pzx_header(2, 0) + block,
          pzx_block("PZXt", {1, 0}) + block, block}) {
        EXPECT_FAILURE(read(refused), READ_FAILURE);
    }
}

TEST(ReadPzxScreen, RefusesBlocksThatRunPastTheEndOrDoNotHoldTheirData) {
    const auto card = testing::make_test_card();
    const Bytes whole = pzx_header() + pzx_data_block(screen_data(card));
    for (std::size_t cut : {1, 2, 6914, 6914 + 8 + 8}) {
        Bytes short_tape(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
        SCOPED_TRACE(cut);
        EXPECT_FAILURE(read(short_tape), READ_FAILURE);
    }
    Bytes fields_cut = pzx_block("DATA", Bytes(7, 0));
    Bytes pulses_past_data = pzx_data_block({});
    pulses_past_data[8 + 6] = 3;  // Three pulses for a 0 bit, where two are stored.
    Bytes bits_past_data = pzx_data_block(Bytes(10, 0), 81);
    Bytes claims_4_gib = pzx_block("PULS", {});
    std::fill(claims_4_gib.begin() + 4, claims_4_gib.end(), 0xFF);
    for (const Bytes& block : {fields_cut, pulses_past_data, bits_past_data, claims_4_gib})
        EXPECT_FAILURE(read(pzx_header() + block + pzx_data_block(screen_data(card))),
                       READ_FAILURE);
}

TEST(ReadPzxScreen, WalksAtMostTheBlockLimit) {
    const auto card = testing::make_test_card();
    Bytes tape = pzx_header();
    const Bytes empty = pzx_block("PAUS", {});
    tape.reserve(tape.size() + MAX_TAPE_BLOCKS * empty.size() + 7000);
    for (std::uint64_t block = 2; block < MAX_TAPE_BLOCKS; ++block)
        tape.insert(tape.end(), empty.begin(), empty.end());
    EXPECT_EQ(read(tape + pzx_data_block(screen_data(card))), card);
    tape.insert(tape.end(), empty.begin(), empty.end());
    EXPECT_FAILURE(read(tape + pzx_data_block(screen_data(card))), READ_FAILURE);
}

}  // namespace
}  // namespace mirva::containers
