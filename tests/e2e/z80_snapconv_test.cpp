// Z80 and SLT snapshots written by libspectrum's snapconv, an independent writer, from SNA
// snapshots made here: the screen mirva extracts is exactly the one the SNA shows.
#include <algorithm>
#include <array>
#include <filesystem>

#include "base/byte_source.h"
#include "containers/z80.h"
#include "support/e2e.h"
#include "support/snapshot_128k.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

const std::string SNAPCONV = "/usr/bin/snapconv";
constexpr std::size_t PAGE_BYTES = 16384;

// The stored length of the block of the page (8 unless said) of a version-2 or version-3
// snapshot, found by walking the blocks; 0 when there is none.
std::size_t screen_block_length(const std::vector<std::uint8_t>& z80, std::uint8_t page = 8) {
    std::size_t at = 32 + static_cast<std::size_t>(z80[30] | (z80[31] << 8));
    while (at + 3 <= z80.size()) {
        std::size_t length = z80[at] | (z80[at + 1] << 8);
        if (z80[at + 2] == page)
            return length;
        at += 3 + (length == 0xFFFF ? PAGE_BYTES : length);
    }
    return 0;
}

struct Hard {
    std::string name;
    screen::ScreenImage screen;
};

std::vector<Hard> hard_screens() {
    screen::ScreenImage last_ed = make_random_screen(3);
    last_ed[6910] = 0xED;
    last_ed[6911] = 0xED;
    return {{"card", make_test_card()},
            {"all_ed", make_all_ed_screen()},
            {"ed_pairs", make_ed_pairs_screen()},
            {"ed_before_runs", make_ed_before_runs_screen()},
            {"random", make_random_screen(11)},
            {"last_ed", last_ed},
            {"blank", {}}};
}

class Snapconv : public ::testing::Test {
protected:
    TemporaryDirectory dir;

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(SNAPCONV)) << SNAPCONV << " is missing";
    }

    // Converts the SNA to a compressed Z80, a plain Z80 and an SLT, and checks the screen and
    // border mirva takes from each.
    void check_conversions(const std::string& name, const std::vector<std::uint8_t>& sna,
                           const screen::ScreenImage& screen, std::uint8_t border,
                           std::uint16_t additional_length, std::uint8_t screen_page = 8) {
        write_file(dir / (name + ".sna"), sna);
        struct Output {
            std::string file;
            std::vector<std::string> arguments;
        };
        for (const Output& output : {Output{name + ".z80", {}}, Output{name + "_plain.z80", {"-n"}},
                                     Output{name + ".slt", {}}}) {
            auto arguments = output.arguments;
            arguments.insert(arguments.end(), {name + ".sna", output.file});
            auto converted = run_program(SNAPCONV, arguments, dir.path());
            EXPECT_EQ(converted.exit_status, 0) << converted.standard_error;

            auto z80 = read_file(dir / output.file);
            ASSERT_GT(z80.size(), 32u) << output.file;
            EXPECT_EQ(z80[30] | (z80[31] << 8), additional_length) << output.file;
            EXPECT_EQ(screen_block_length(z80, screen_page) == 0xFFFF, output.arguments.size() == 1)
                << output.file;

            expect_success(run_mirva(dir, {output.file, output.file + ".scr"}));
            EXPECT_EQ(read_file(dir / (output.file + ".scr")), bytes_of(screen)) << output.file;

            base::MemorySource source(z80);
            std::uint8_t read_border = 99;
            EXPECT_EQ(containers::read_z80_screen(source, output.file, read_border), screen);
            EXPECT_EQ(read_border, border) << output.file;
        }
    }
};

TEST_F(Snapconv, Version3FromA48kSnapshotGivesTheScreen) {
    std::uint8_t border = 0;
    for (const auto& hard : hard_screens()) {
        check_conversions(hard.name, make_sna(hard.screen, border), hard.screen, border, 54);
        if (hard.name == "ed_pairs") {  // Its packed screen is longer than 10000 bytes.
            EXPECT_GT(screen_block_length(read_file(dir / "ed_pairs.z80")), 10000u);
        }
        border = static_cast<std::uint8_t>((border + 1) % 8);
    }
}

TEST_F(Snapconv, Version3WithFiftyFiveByteHeaderFromA128kSnapshotGivesTheScreenOnDisplay) {
    std::uint8_t border = 7;
    std::uint8_t paged = 0;
    bool shadow = false;
    for (const auto& hard : hard_screens()) {
        // Port 0x7FFD: ROM 1, a bank at 0xC000 and, every other time, bank 7 on display. The
        // hard screen lies in the bank shown, so the other bank holds a screen never wanted.
        auto banks = make_banks(make_random_screen(77));
        auto& shown = banks[shadow ? 7 : 5];
        std::fill(shown.begin(), shown.end(), 0);  // The rest of the bank packs well.
        std::copy(hard.screen.begin(), hard.screen.end(), shown.begin());
        auto port = static_cast<std::uint8_t>(0x10 | (shadow ? 0x08 : 0) | paged);
        auto sna = make_sna_128(banks, border, port);
        // The 128K SNA itself, end to end.
        const std::string name = hard.name + "_128";
        write_file(dir / (name + "_direct.sna"), sna);
        expect_success(run_mirva(dir, {name + "_direct.sna", name + "_direct.scr"}));
        EXPECT_EQ(read_file(dir / (name + "_direct.scr")), bytes_of(hard.screen)) << name;
        check_conversions(name, sna, hard.screen, border, 55, shadow ? 10 : 8);
        border = static_cast<std::uint8_t>((border + 3) % 8);
        paged = static_cast<std::uint8_t>((paged + 3) % 8);
        shadow = !shadow;
    }
}

}  // namespace
}  // namespace mirva::testing
