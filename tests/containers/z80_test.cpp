#include "containers/z80.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/counting_source.h"
#include "support/expect_failure.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::containers {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::make_test_card;

constexpr std::uint8_t ED = 0xED;
constexpr std::uint8_t PACKED = 0x20;  // Flags bit 5: version-1 body packed.
const std::string READ_FAILURE = "Error leyendo del fichero game.z80";

Bytes bytes_of(const screen::ScreenImage& screen) {
    return {screen.begin(), screen.end()};
}

screen::ScreenImage read(const Bytes& file, std::uint8_t& border) {
    base::MemorySource source(file);
    return read_z80_screen(source, "game.z80", border);
}

screen::ScreenImage read(const Bytes& file) {
    std::uint8_t border = 0;
    return read(file, border);
}

void expect_refused(const Bytes& file) {
    base::MemorySource source(file);
    std::uint8_t border = 0;
    EXPECT_FAILURE(read_z80_screen(source, "game.z80", border), READ_FAILURE);
}

// Expands input given whole, as the one piece of data.
Z80Unpacking unpack(const Bytes& input, screen::ScreenImage& screen) {
    return unpack_z80_block(input, true, screen, 0);
}

TEST(UnpackZ80Block, ExpandsRunsAndPlainBytes) {
    screen::ScreenImage screen{};
    auto step = unpack({ED, ED, 5, 0x41, 0x42, ED, 0x42, ED, ED, 0, 0x41, 0x43}, screen);
    EXPECT_EQ(step.consumed, 12u);
    ASSERT_EQ(step.produced, 9u);
    EXPECT_EQ(Bytes(screen.begin(), screen.begin() + 9),
              (Bytes{0x41, 0x41, 0x41, 0x41, 0x41, 0x42, ED, 0x42, 0x43}));
}

TEST(UnpackZ80Block, LooksForARunAfreshAfterEveryCode) {
    screen::ScreenImage screen{};
    // A run of two 0xED, then a run whose value is 0xED, then a single 0xED before a run.
    auto step = unpack({ED, ED, 2, ED, ED, ED, 3, ED, ED, 1, ED, ED, 2, 7}, screen);
    ASSERT_EQ(step.produced, 9u);
    EXPECT_EQ(Bytes(screen.begin(), screen.begin() + 9), (Bytes{ED, ED, ED, ED, ED, ED, 1, 7, 7}));
}

TEST(UnpackZ80Block, StopsWhenTheScreenIsFull) {
    Bytes input(6900, 0x11);
    input.insert(input.end(), {ED, ED, 255, 0, 0x99, 0x98});
    screen::ScreenImage screen{};
    auto step = unpack(input, screen);
    EXPECT_EQ(step.produced, 6912u);
    EXPECT_EQ(step.consumed, 6904u);  // The rest of the run and the bytes after it are ignored.
    EXPECT_EQ(screen[6899], 0x11);
    EXPECT_EQ(Bytes(screen.begin() + 6900, screen.end()), Bytes(12, 0));
    EXPECT_TRUE(unpack_z80_block(input, screen));
}

TEST(UnpackZ80Block, LeavesCutOffCodesForTheNextPiece) {
    screen::ScreenImage screen{};
    for (const Bytes& tail : {Bytes{ED}, Bytes{ED, ED}, Bytes{ED, ED, 3}}) {
        Bytes input{1, 2};
        input.insert(input.end(), tail.begin(), tail.end());
        auto step = unpack_z80_block(input, false, screen, 0);
        EXPECT_EQ(step.consumed, 2u);
        EXPECT_EQ(step.produced, 2u);
    }
    // At the end of the data a lone 0xED cannot start a run and is a plain byte; a cut-off run
    // is never completed from bytes that are not there.
    EXPECT_EQ(unpack_z80_block(Bytes{1, ED}, true, screen, 6910).produced, 6912u);
    EXPECT_EQ(screen[6911], ED);
    EXPECT_EQ(unpack_z80_block(Bytes{1, ED, ED}, true, screen, 6910).produced, 6911u);
    EXPECT_EQ(unpack_z80_block(Bytes{ED, ED, 1}, true, screen, 6911).consumed, 0u);
    EXPECT_EQ(unpack_z80_block(Bytes{}, true, screen, 6912).produced, 6912u);
}

TEST(UnpackZ80Block, FailsWhenTheDataEndBeforeTheScreen) {
    screen::ScreenImage screen{};
    EXPECT_FALSE(unpack_z80_block(Bytes(6911, 1), screen));
    EXPECT_FALSE(unpack_z80_block(Bytes{}, screen));
    Bytes cut(6910, 1);
    cut.insert(cut.end(), {ED, ED, 9});
    EXPECT_FALSE(unpack_z80_block(cut, screen));
    cut.push_back(4);
    EXPECT_TRUE(unpack_z80_block(cut, screen));
    EXPECT_EQ(screen[6911], 4);
}

TEST(UnpackZ80Block, GivesTheSameScreenWhateverThePieces) {
    for (const auto& original :
         {testing::make_ed_before_runs_screen(), testing::make_ed_pairs_screen(),
          testing::make_all_ed_screen(), testing::make_random_screen(7)}) {
        Bytes packed = testing::pack_z80(original);
        screen::ScreenImage whole{};
        ASSERT_TRUE(unpack_z80_block(packed, whole));
        ASSERT_EQ(whole, original);
        // Split at every point within the first 64 bytes, then every 997 bytes.
        for (std::size_t split = 0; split < packed.size(); split += split < 64 ? 1 : 997) {
            screen::ScreenImage pieces{};
            auto first = unpack_z80_block(std::span(packed).first(split), false, pieces, 0);
            ASSERT_LE(split - first.consumed, 3u);
            auto rest = std::span(packed).subspan(first.consumed);
            auto second = unpack_z80_block(rest, true, pieces, first.produced);
            ASSERT_EQ(second.produced, 6912u) << split;
            ASSERT_EQ(pieces, original) << split;
        }
    }
}

TEST(ReadZ80Screen, TakesTheBorderFromBitsOneToThreeOfTheFlags) {
    auto card = make_test_card();
    std::uint8_t border = 99;
    EXPECT_EQ(read(testing::make_z80_v1(bytes_of(card), 0x0A), border), card);
    EXPECT_EQ(border, 5);
    // 255 sets every bit: border 7, and a packed version-1 body.
    EXPECT_EQ(read(testing::make_z80_v1(testing::memory_48k(card), 255), border), card);
    EXPECT_EQ(border, 7);
    auto page = testing::screen_page(card);
    EXPECT_EQ(read(testing::make_z80_paged(54, 0x04, {testing::plain_block(8, page)}), border),
              card);
    EXPECT_EQ(border, 2);
}

TEST(ReadZ80Screen, DecidesTheVersionByTheTwoBytesAtOffsetThirty) {
    auto card = make_test_card();
    auto page = testing::screen_page(card);
    EXPECT_EQ(read(testing::make_z80_paged(23, 0, {testing::packed_block(8, page)})), card);
    EXPECT_EQ(read(testing::make_z80_paged(54, 0, {testing::packed_block(8, page)})), card);
    EXPECT_EQ(read(testing::make_z80_paged(55, 0, {testing::packed_block(8, page)})), card);
    EXPECT_EQ(read(testing::make_z80_paged(55, 0, {testing::plain_block(8, page)})), card);
    // Version 1: the body starts at offset 30, so the screen's first bytes are those two.
    for (auto pair : {std::array<std::uint8_t, 2>{23, 1}, {0, 0}, {54, 1}, {56, 0}, {22, 0}}) {
        auto screen = card;
        screen[0] = pair[0];
        screen[1] = pair[1];
        EXPECT_EQ(read(testing::make_z80_v1(bytes_of(screen), 0)), screen);
        EXPECT_EQ(read(testing::make_z80_v1(testing::memory_48k(screen), PACKED)), screen);
    }
}

TEST(ReadZ80Screen, ReadsAPlainVersionOneBodyUnchanged) {
    auto screen = testing::make_ed_pairs_screen();
    auto file = testing::make_z80_v1(bytes_of(screen), 0xDF);  // Every flag but bit 5.
    EXPECT_EQ(read(file), screen);
    file.pop_back();
    expect_refused(file);
}

TEST(ReadZ80Screen, ReadsAPackedVersionOneScreenWhateverItsPackedLength) {
    for (const auto& screen : {make_test_card(), testing::make_ed_pairs_screen(),
                               testing::make_ed_before_runs_screen()}) {
        EXPECT_EQ(read(testing::make_z80_v1(testing::memory_48k(screen), PACKED)), screen);
    }
    // A mostly empty memory packs into far fewer bytes than a screen has.
    std::vector<std::uint8_t> memory(49152, 0);
    memory[6911] = 0x38;
    auto file = testing::make_z80_v1(memory, PACKED);
    ASSERT_LT(file.size(), 1000u);
    screen::ScreenImage blank{};
    blank[6911] = 0x38;
    EXPECT_EQ(read(file), blank);
}

TEST(ReadZ80Screen, RefusesAPackedVersionOneScreenThatEndsTooSoon) {
    auto screen = testing::make_ed_pairs_screen();
    auto packed = testing::pack_z80(screen);  // 11520 bytes, the screen alone.
    auto file = testing::make_z80_v1(bytes_of(screen), 0);
    file.resize(30);
    file[12] = PACKED;
    file.insert(file.end(), packed.begin(), packed.end());
    EXPECT_EQ(read(file), screen);
    file.pop_back();  // The last run code is cut off.
    expect_refused(file);
    file.resize(30 + 70);
    expect_refused(file);
    file.resize(99);  // Shorter than the header area.
    expect_refused(file);
}

TEST(ReadZ80Screen, WalksTheBlocksToPageEight) {
    auto card = make_test_card();
    std::vector<std::uint8_t> other(16384, 0x55);
    for (std::uint16_t length : {54, 55}) {
        auto file = testing::make_z80_paged(
            length, 0,
            {testing::plain_block(4, other), testing::plain_block(5, other),
             testing::plain_block(8, testing::screen_page(card)), testing::plain_block(1, other)});
        EXPECT_EQ(read(file), card);
    }
    auto file = testing::make_z80_paged(
        23, 0,
        {testing::packed_block(4, other), testing::packed_block(5, testing::screen_page({})),
         testing::packed_block(8, testing::screen_page(card))});
    EXPECT_EQ(read(file), card);
}

TEST(ReadZ80Screen, TakesFFFFAsAPlainPageInVersionThreeOnly) {
    auto card = make_test_card();
    std::vector<std::uint8_t> other(16384, 0x66);
    std::vector<testing::Z80Block> blocks{testing::plain_block(4, other),
                                          testing::packed_block(8, testing::screen_page(card))};
    EXPECT_EQ(read(testing::make_z80_paged(54, 0, blocks)), card);
    // Version 2 skips 65535 bytes there, past the end of the file.
    expect_refused(testing::make_z80_paged(23, 0, blocks));

    // In version 2 a block of length 0xFFFF holds 65535 packed bytes.
    testing::Z80Block long_block{0xFFFF, 4, std::vector<std::uint8_t>(65535, 0x66)};
    EXPECT_EQ(read(testing::make_z80_paged(23, 0, {long_block, blocks[1]})), card);
    auto packed = testing::pack_z80(testing::screen_page(card));
    packed.resize(65535, 0x77);
    EXPECT_EQ(read(testing::make_z80_paged(23, 0, {{0xFFFF, 8, packed}})), card);
    EXPECT_EQ(read(testing::make_z80_paged(54, 0, {{0xFFFF, 8, packed}}))[0], packed[0]);
}

TEST(ReadZ80Screen, ReadsAPageEightBlockLongerThanTenThousandBytes) {
    auto screen = testing::make_ed_pairs_screen();
    auto block = testing::packed_block(8, testing::screen_page(screen));
    ASSERT_GT(block.length, 11520u);
    for (std::uint16_t length : {23, 54, 55})
        EXPECT_EQ(read(testing::make_z80_paged(length, 0, {block})), screen);
}

TEST(ReadZ80Screen, ReadsNoFurtherThanTheBlocksOwnLength) {
    auto screen = testing::make_ed_pairs_screen();
    auto block = testing::packed_block(8, testing::screen_page(screen));
    auto next = testing::packed_block(5, testing::screen_page(screen));
    auto needed = testing::pack_z80(screen).size();
    // The block claims fewer bytes than its screen needs; the bytes after it belong to the next
    // block and are not taken.
    for (auto length : {needed - 1, needed - 2, std::size_t{10000}, std::size_t{1}}) {
        block.length = static_cast<std::uint16_t>(length);
        auto file = testing::make_z80_paged(54, 0, {block, next});
        expect_refused(file);
    }
    block.length = static_cast<std::uint16_t>(needed);
    EXPECT_EQ(read(testing::make_z80_paged(54, 0, {block, next})), screen);
}

TEST(ReadZ80Screen, RefusesFilesWithoutAWholeScreenBlock) {
    auto card = make_test_card();
    auto page = testing::screen_page(card);
    // No page 8.
    expect_refused(testing::make_z80_paged(54, 0, {testing::plain_block(4, page)}));
    expect_refused(testing::make_z80_paged(23, 0, {testing::packed_block(5, page)}));
    // A block that claims more bytes than the file has.
    auto file = testing::make_z80_paged(54, 0, {testing::packed_block(4, page)});
    file.resize(file.size() - 1);
    expect_refused(file);
    // A page-8 block of length 0, followed by data that would otherwise make a screen.
    file = testing::make_z80_paged(23, 0, {{0, 8, {}}, testing::plain_block(8, page)});
    expect_refused(file);
    // A plain page-8 block cut short.
    file = testing::make_z80_paged(55, 0, {testing::plain_block(8, page)});
    file.resize(87 + 3 + 6911);
    expect_refused(file);
    file.push_back(page[6911]);
    EXPECT_EQ(read(file), card);
    // The header area itself is missing.
    expect_refused({});
    expect_refused(Bytes(99, 0));
}

TEST(ReadZ80Screen, RefusesAScreenBlockCutShortWithinItsFirstTenThousandBytes) {
    auto card = make_test_card();
    // The page packs into far fewer bytes than 10000, of which the screen takes fewer still.
    auto packed = testing::pack_z80(testing::screen_page(card));
    ASSERT_LT(packed.size(), 9000u);
    for (std::uint16_t version : {23, 54}) {
        SCOPED_TRACE(version);
        auto cut = [&](std::size_t length, std::size_t present) {
            auto data = packed;
            data.resize(present, 0);  // Zeros past the packed page: plain bytes, never needed.
            auto block_length = static_cast<std::uint16_t>(length);
            return testing::make_z80_paged(version, 0, {{block_length, 8, data}});
        };
        EXPECT_EQ(read(cut(packed.size(), packed.size())), card);
        // The file ends before the block does, though what is there makes the screen.
        expect_refused(cut(packed.size() + 1, packed.size()));
        expect_refused(cut(10000, 9999));
        EXPECT_EQ(read(cut(10000, 10000)), card);
        // Past its first 10000 bytes a block is read only as far as its screen needs.
        EXPECT_EQ(read(cut(12000, 10000)), card);
    }

    auto pairs = testing::make_ed_pairs_screen();
    auto long_block = testing::packed_block(8, testing::screen_page(pairs));
    auto needed = testing::pack_z80(pairs).size();
    ASSERT_GT(needed, 10000u);
    long_block.data.resize(needed);
    EXPECT_EQ(read(testing::make_z80_paged(23, 0, {long_block})), pairs);
    long_block.data.resize(needed - 1);
    expect_refused(testing::make_z80_paged(23, 0, {long_block}));
}

TEST(ReadZ80Screen, EndsTheChainBeforeTheScreenAfter256Blocks) {
    auto card = make_test_card();
    auto screen_block = testing::packed_block(8, testing::screen_page(card));
    for (std::uint16_t version : {23, 55}) {
        std::vector<testing::Z80Block> blocks(256, {0, 0, {}});
        blocks.back() = {3, 4, {1, 2, 3}};
        blocks.push_back(screen_block);
        auto file = testing::make_z80_paged(version, 0, blocks);
        testing::CountingSource source(file);
        std::uint8_t border = 0;
        EXPECT_EQ(read_z80_screen(source, "game.z80", border), card);
        EXPECT_LT(source.calls(), 10u);  // Read through a buffer, not block by block.

        blocks.insert(blocks.begin(), {0, 9, {}});
        expect_refused(testing::make_z80_paged(version, 0, blocks));
    }
}

// A 128K machine showing its second screen shows bank 7, page 10; every other file gives page
// 8. Which hardware modes have port 0x7FFD differs between versions 2 and 3.
TEST(ReadZ80Screen, TakesPageTenWhenA128kMachineShowsBankSeven) {
    auto bank_5 = make_test_card();
    auto bank_7 = testing::make_random_screen(7);
    struct Case {
        std::uint16_t length;
        std::uint8_t mode;
        std::uint8_t port;
        bool bank_7_shown;
    };
    const Case cases[] = {
        {23, 3, 0x18, true},     // Version 2, 128K.
        {23, 4, 0x08, true},     // Version 2, 128K with Interface 1.
        {23, 3, 0x17, false},    // Bit 3 clear: bank 5, whatever bank is paged.
        {23, 0, 0x08, false},    // 48K.
        {23, 5, 0x08, false},    // No machine in version 2.
        {54, 4, 0x1F, true},     // Version 3, 128K.
        {55, 5, 0x08, true},     // 128K with Interface 1.
        {54, 6, 0x08, true},     // 128K with an MGT interface.
        {54, 3, 0x08, false},    // 48K with an MGT interface in version 3.
        {54, 4, 0x10, false},    // Bit 3 clear.
        {54, 7, 0x08, true},     // +3.
        {23, 8, 0x08, true},     // +3, as some writers mark it.
        {54, 9, 0x08, true},     // Pentagon.
        {54, 10, 0x08, true},    // Scorpion.
        {54, 12, 0x08, true},    // +2.
        {23, 13, 0x08, true},    // +2A.
        {54, 11, 0x08, false},   // Didaktik Kompakt, a 48K machine.
        {54, 14, 0x08, false},   // TC2048: no port 0x7FFD.
        {54, 128, 0x08, false},  // TS2068.
    };
    for (const Case& c : cases) {
        for (bool bank_7_first : {false, true}) {
            auto block_5 = testing::packed_block(8, testing::screen_page(bank_5));
            auto block_7 = testing::packed_block(10, testing::screen_page(bank_7));
            auto file = testing::make_z80_paged(
                c.length, 0,
                bank_7_first ? std::vector{block_7, block_5} : std::vector{block_5, block_7});
            file[34] = c.mode;
            file[35] = c.port;
            EXPECT_EQ(read(file), c.bank_7_shown ? bank_7 : bank_5)
                << c.length << " " << int{c.mode} << " " << int{c.port};
            if (c.bank_7_shown && !bank_7_first) {  // Without page 10 no screen is on display.
                file = testing::make_z80_paged(c.length, 0, {block_5});
                file[34] = c.mode;
                file[35] = c.port;
                expect_refused(file);
            }
        }
    }
}

}  // namespace
}  // namespace mirva::containers
