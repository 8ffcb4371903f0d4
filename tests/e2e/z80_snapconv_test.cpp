// Z80 and SLT snapshots written by libspectrum's snapconv, an independent writer, from SNA
// snapshots made here: the screen mirva extracts is exactly the one the SNA holds.
#include <array>
#include <filesystem>

#include "base/byte_source.h"
#include "containers/z80.h"
#include "support/e2e.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

const std::string SNAPCONV = "/usr/bin/snapconv";
constexpr std::size_t PAGE_BYTES = 16384;

// A 128K SNA: the 48K SNA (banks 5, 2 and the paged bank), the program counter, the last write
// to port 0x7FFD and the TR-DOS flag, then the other five banks in ascending order.
std::vector<std::uint8_t> make_sna_128(const screen::ScreenImage& screen, std::uint8_t border,
                                       std::uint8_t port_7ffd) {
    auto sna = make_sna(screen, border);
    sna[23] = 0;
    sna[24] = 0;  // SP back to 0: the program counter has its own field here.
    sna.insert(sna.end(), {0x02, 0x80, port_7ffd, 0});
    std::uint8_t paged = port_7ffd & 0x07;
    for (std::uint8_t bank = 0; bank < 8; ++bank) {
        if (bank == 5 || bank == 2 || bank == paged)
            continue;
        // Every bank a different pattern, with 0xED bytes, so that no page passes for another.
        for (std::size_t i = 0; i < PAGE_BYTES; ++i)
            sna.push_back(i % 7 == 0 ? 0xED : static_cast<std::uint8_t>(bank * 31 + i / 64));
    }
    return sna;
}

// The stored length of the page-8 block of a version-2 or version-3 snapshot, found by walking
// the blocks; 0 when there is none.
std::size_t screen_block_length(const std::vector<std::uint8_t>& z80) {
    std::size_t at = 32 + static_cast<std::size_t>(z80[30] | (z80[31] << 8));
    while (at + 3 <= z80.size()) {
        std::size_t length = z80[at] | (z80[at + 1] << 8);
        if (z80[at + 2] == 8)
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
                           std::uint16_t additional_length) {
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
            EXPECT_EQ(screen_block_length(z80) == 0xFFFF, output.arguments.size() == 1)
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

TEST_F(Snapconv, Version3WithFiftyFiveByteHeaderFromA128kSnapshotGivesTheScreen) {
    std::uint8_t border = 7;
    constexpr std::array<std::uint8_t, 6> PAGEABLE{0, 1, 3, 4, 6, 7};  // Not banks 5 and 2.
    std::size_t index = 0;
    for (const auto& hard : hard_screens()) {
        // Port 0x7FFD: ROM 1 and a bank at 0xC000. With bit 3 set the machine shows bank 7,
        // but page 8 still holds bank 5, the normal screen.
        std::uint8_t bank = PAGEABLE[index++ % PAGEABLE.size()];
        auto port = static_cast<std::uint8_t>(0x10 | (hard.name == "card" ? 0x08 : 0) | bank);
        check_conversions(hard.name + "_128", make_sna_128(hard.screen, border, port), hard.screen,
                          border, 55);
        border = static_cast<std::uint8_t>((border + 3) % 8);
    }
}

}  // namespace
}  // namespace mirva::testing
