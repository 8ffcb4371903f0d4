#include "containers/tzx.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"
#include "support/virtual_source.h"

namespace mirva::containers {
namespace {

using testing::Bytes;
using testing::little_endian_bytes;
using testing::operator+;
using testing::screen_data;

const std::string READ_FAILURE = "Error leyendo del fichero in.tzx";

struct Read {
    screen::ScreenImage screen{};
    std::uint8_t border_colour = 99;  // Left alone unless the tape has a border.
};

Read read(const Bytes& tape) {
    base::MemorySource source(tape);
    Read result;
    result.screen = read_tzx_screen(source, "in.tzx", result.border_colour);
    return result;
}

// A block of every type the format defines, each with a body, its lengths spelled out field by
// field. The bytes that are not lengths are 0xFF: a walk that loses its place reads one as an
// ID, takes the next four as a length of 4 GiB and fails, instead of passing over it.
struct Sample {
    std::string name;
    Bytes block;
};

std::vector<Sample> every_block_type() {
    const Bytes ff2(2, 0xFF);
    auto ff = [](std::size_t count) { return Bytes(count, 0xFF); };
    return {
        {"standard speed", Bytes{0x10} + ff2 + Bytes{3, 0} + ff(3)},
        {"turbo speed", Bytes{0x11} + ff(12) + ff(1) + ff2 + Bytes{2, 0, 0} + ff(2)},
        {"pure tone", Bytes{0x12} + ff(4)},
        {"pulse sequence", Bytes{0x13, 2} + ff(4)},
        {"pure data", Bytes{0x14} + ff(4) + ff(1) + ff2 + Bytes{1, 0, 0} + ff(1)},
        {"direct recording", Bytes{0x15} + ff(4) + ff(1) + Bytes{3, 0, 0} + ff(3)},
        {"C64 ROM data", Bytes{0x16, 5, 0, 0, 0} + ff(5)},
        {"C64 turbo data", Bytes{0x17, 5, 0, 0, 0} + ff(5)},
        {"CSW recording", Bytes{0x18, 6, 0, 0, 0} + ff(6)},
        {"generalized data", Bytes{0x19, 7, 0, 0, 0} + ff(7)},
        {"pause", Bytes{0x20} + ff2},
        {"group start", Bytes{0x21, 3} + ff(3)},
        {"group end", Bytes{0x22}},
        {"jump", Bytes{0x23} + ff2},
        {"loop start", Bytes{0x24} + ff2},
        {"loop end", Bytes{0x25}},
        {"call sequence", Bytes{0x26, 2, 0} + ff(4)},
        {"return", Bytes{0x27}},
        {"select", Bytes{0x28, 6, 0} + ff(6)},
        {"stop in 48K mode", Bytes{0x2A, 0, 0, 0, 0}},
        {"set signal level", Bytes{0x2B, 1, 0, 0, 0} + ff(1)},
        {"text description", Bytes{0x30, 4} + ff(4)},
        {"message", Bytes{0x31} + ff(1) + Bytes{5} + ff(5)},
        {"archive info", Bytes{0x32, 4, 0} + ff(4)},
        {"hardware type", Bytes{0x33, 2} + ff(6)},
        {"emulation info", Bytes{0x34} + ff(8)},
        {"custom info", testing::tzx_custom_info_block("POKEs           ", ff(9))},
        {"snapshot", Bytes{0x40} + ff(1) + Bytes{4, 0, 0} + ff(4)},
        {"glue", Bytes{0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}},
        {"unknown 0x4B", Bytes{0x4B, 3, 0, 0, 0} + ff(3)},
        {"unknown 0xFE", Bytes{0xFE, 0, 0, 0, 0}},
    };
}

TEST(ReadTzxScreen, WalksOverEveryBlockType) {
    const auto card = testing::make_test_card();
    const Bytes screen_block = testing::tzx_standard_block(screen_data(card));
    for (const Sample& sample : every_block_type()) {
        SCOPED_TRACE(sample.name);
        // Passed over in full, alone and twice over, to the screen after it.
        EXPECT_EQ(read(testing::tzx_header() + sample.block + screen_block).screen, card);
        EXPECT_EQ(read(testing::tzx_header() + sample.block + sample.block + screen_block).screen,
                  card);
        EXPECT_FAILURE(read(testing::tzx_header() + sample.block), base::MSG_TZX_WITHOUT_SCREEN);
        // One byte short, it runs past the end (a block of its ID alone is simply gone).
        Bytes cut = testing::tzx_header() + sample.block;
        cut.pop_back();
        EXPECT_FAILURE(read(cut), sample.block.size() > 1
                                      ? READ_FAILURE
                                      : std::string(base::MSG_TZX_WITHOUT_SCREEN));
    }
}

TEST(ReadTzxScreen, TakesTheFirstDataBlockOfAScreensLengthOfAnySpeed) {
    const auto first = testing::make_random_screen(1);
    const auto second = testing::make_random_screen(2);
    using Maker = Bytes (*)(const Bytes&);
    for (Maker make :
         {testing::tzx_standard_block, testing::tzx_turbo_block, testing::tzx_pure_data_block}) {
        // The flag and the checksum are not looked at; neither is a later screen.
        Bytes data = screen_data(first, 0x00);
        data.back() ^= 0x55;
        Read got = read(testing::tzx_header() + make(Bytes(6913, 1)) + make(Bytes(6915, 2)) +
                        make({}) + make(data) + testing::tzx_standard_block(screen_data(second)));
        EXPECT_EQ(got.screen, first);
        EXPECT_EQ(got.border_colour, 99);
    }
    // A data block wins over a loading screen that comes before it.
    Bytes tape = testing::tzx_header() + testing::tzx_screen_info_block(first, 3) +
                 testing::tzx_pure_data_block(screen_data(second));
    EXPECT_EQ(read(tape).screen, second);
    EXPECT_EQ(read(tape).border_colour, 99);
}

TEST(ReadTzxScreen, FallsBackOnTheFirstLoadingScreenWithItsBorder) {
    const auto first = testing::make_random_screen(3);
    const auto second = testing::make_random_screen(4);
    Bytes body_too_short = Bytes{0, 2} + Bytes(first.begin(), first.end() - 1);
    Bytes description_too_long = Bytes{200, 2} + Bytes(first.begin(), first.end());
    Bytes extra = Bytes{0, 6} + Bytes(first.begin(), first.end()) + Bytes{0xFF, 0xFF};

    struct Case {
        std::string name;
        Bytes blocks;
        screen::ScreenImage screen;
        std::uint8_t border;
    };
    const std::vector<Case> cases{
        {"described", testing::tzx_screen_info_block(first, 5, "Loading screen"), first, 5},
        {"first of two",
         testing::tzx_screen_info_block(first, 1) + testing::tzx_screen_info_block(second, 2),
         first, 1},
        {"after a short one",
         testing::tzx_custom_info_block("Spectrum Screen ", body_too_short) +
             testing::tzx_custom_info_block("Spectrum Screen ", description_too_long) +
             testing::tzx_screen_info_block(second, 7),
         second, 7},
        {"other names passed over",
         testing::tzx_custom_info_block("Spectrum screen ", extra) +
             testing::tzx_custom_info_block("Picture         ", extra) +
             testing::tzx_screen_info_block(second, 4),
         second, 4},
        {"bytes after the screen",
         testing::tzx_custom_info_block("Spectrum Screen ", extra) +
             testing::tzx_standard_block(Bytes(6913, 0)),
         first, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Read got = read(testing::tzx_header() + c.blocks);
        EXPECT_EQ(got.screen, c.screen);
        EXPECT_EQ(got.border_colour, c.border);
    }
    EXPECT_FAILURE(read(testing::tzx_header() +
                        testing::tzx_custom_info_block("Spectrum Screen ", body_too_short)),
                   base::MSG_TZX_WITHOUT_SCREEN);
}

TEST(ReadTzxScreen, ReadsVersionOneOfAnyRevisionOnly) {
    const auto card = testing::make_test_card();
    const Bytes blocks = testing::tzx_turbo_block(screen_data(card));
    for (std::uint8_t minor : {0, 10, 13, 20, 21, 255})
        EXPECT_EQ(read(testing::tzx_header(1, minor) + blocks).screen, card);
    EXPECT_FAILURE(read(testing::tzx_header(1, 20)), base::MSG_TZX_WITHOUT_SCREEN);
    Bytes wrong_signature = testing::tzx_header() + blocks;
    wrong_signature[7] = 0x1B;
    for (const Bytes& refused : {Bytes{}, Bytes{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1},
                                 testing::tzx_header(0, 20) + blocks,
                                 testing::tzx_header(2, 0) + blocks, wrong_signature}) {
        EXPECT_FAILURE(read(refused), READ_FAILURE);
    }
}

TEST(ReadTzxScreen, RefusesBlocksThatRunPastTheEnd) {
    const auto card = testing::make_test_card();
    Bytes whole = testing::tzx_header() + testing::tzx_turbo_block(screen_data(card));
    for (std::size_t cut : {1, 2, 6913, 6914}) {
        Bytes short_tape(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
        SCOPED_TRACE(cut);
        EXPECT_FAILURE(read(short_tape), READ_FAILURE);
    }
    // Lengths of 4 GiB and 16 MiB claimed in a small file.
    for (const Bytes& block :
         {Bytes{0x19, 0xFF, 0xFF, 0xFF, 0xFF, 0}, Bytes{0x4B, 0xFF, 0xFF, 0xFF, 0xFF},
          testing::tzx_custom_info_block("Spectrum Screen ", {}) + Bytes(6, 0),
          Bytes{0x14, 0, 0, 0, 0, 8, 0, 0, 0xFF, 0xFF, 0xFF, 1}}) {
        Bytes tape = testing::tzx_header() + block;
        if (block[0] == 0x35)  // The length field says 0xFFFFFFFF.
            std::fill(tape.begin() + 27, tape.begin() + 31, 0xFF);
        EXPECT_FAILURE(read(tape + testing::tzx_standard_block(screen_data(card))), READ_FAILURE);
    }
}

TEST(ReadTzxScreen, WalksAtMostTheBlockLimit) {
    const auto card = testing::make_test_card();
    const Bytes screen_block = testing::tzx_standard_block(screen_data(card));
    Bytes tape = testing::tzx_header() + Bytes(MAX_TAPE_BLOCKS - 1, 0x22);  // Group ends.
    EXPECT_EQ(read(tape + screen_block).screen, card);
    EXPECT_FAILURE(read(tape), base::MSG_TZX_WITHOUT_SCREEN);
    tape.push_back(0x22);
    EXPECT_FAILURE(read(tape + screen_block), READ_FAILURE);
}

TEST(ReadTzxScreen, ReadsLittleOfAHugeFile) {
    constexpr std::uint64_t FIVE_GB = 5'000'000'000;
    std::uint8_t border = 0;
    // Zeros after the header: empty blocks of the unknown ID 0, up to the limit.
    testing::VirtualSource zeros(FIVE_GB);
    zeros.put(0, testing::tzx_header());
    EXPECT_FAILURE((void)read_tzx_screen(zeros, "in.tzx", border), READ_FAILURE);
    EXPECT_LT(zeros.bytes_read, 5 * MAX_TAPE_BLOCKS + 2 * 65536);
    // Blocks just longer than the buffer, each passed over after a few bytes are read.
    testing::VirtualSource long_blocks(FIVE_GB);
    long_blocks.put(0, testing::tzx_header());
    std::uint64_t blocks = 0;
    for (std::uint64_t at = 10; at + 70'000 < FIVE_GB; at += 5 + 65'537, ++blocks)
        long_blocks.put(at, Bytes{0x4B} + little_endian_bytes(65'537, 4));
    EXPECT_FAILURE((void)read_tzx_screen(long_blocks, "in.tzx", border), READ_FAILURE);
    EXPECT_LT(long_blocks.bytes_read, blocks * 512 + 2 * 65536) << blocks;
}

// A source that cannot tell its size, as a pipe.
class SizelessSource final : public base::ByteSource {
public:
    std::size_t read(std::span<std::uint8_t>) override { return 0; }
    bool seek(std::uint64_t) override { return false; }
    bool skip(std::uint64_t) override { return false; }
    std::optional<std::uint64_t> size() override { return std::nullopt; }
};

TEST(ReadTzxScreen, RefusesASourceWithoutASize) {
    SizelessSource source;
    std::uint8_t border = 0;
    EXPECT_FAILURE((void)read_tzx_screen(source, "in.tzx", border), READ_FAILURE);
}

}  // namespace
}  // namespace mirva::containers
