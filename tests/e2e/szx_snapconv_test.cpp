// SZX snapshots written by libspectrum's snapconv, an independent writer, from 48K and 128K SNA
// snapshots made here, with compressed pages and with plain ones: mirva takes exactly the
// screen the SNA shows, and its border.
#include <filesystem>

#include "base/byte_source.h"
#include "containers/szx.h"
#include "support/e2e.h"
#include "support/snapshot_128k.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

const std::string SNAPCONV = "/usr/bin/snapconv";

// The flags of every RAMP chunk of a SZX file, found by walking its chunks.
std::vector<std::uint16_t> ramp_flags(const std::vector<std::uint8_t>& szx) {
    std::vector<std::uint16_t> flags;
    std::size_t at = 8;
    while (at + 8 <= szx.size()) {
        std::size_t length = szx[at + 4] | (szx[at + 5] << 8) | (szx[at + 6] << 16) |
                             (static_cast<std::size_t>(szx[at + 7]) << 24);
        if (std::string(szx.begin() + static_cast<std::ptrdiff_t>(at),
                        szx.begin() + static_cast<std::ptrdiff_t>(at + 4)) == "RAMP")
            flags.push_back(static_cast<std::uint16_t>(szx[at + 8] | (szx[at + 9] << 8)));
        at += 8 + length;
    }
    return flags;
}

class SzxSnapconv : public MirvaTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(SNAPCONV)) << SNAPCONV << " is missing";
    }

    // Converts the snapshot to a SZX with compressed pages and one with plain pages, and checks the
    // machine, the pages' flags, and the screen and border mirva takes from each.
    void check(const std::string& name, const std::vector<std::uint8_t>& snapshot,
               const screen::ScreenImage& screen, std::uint8_t border, std::uint8_t machine,
               const std::string& kind = ".sna") {
        put(name + kind, snapshot);
        for (bool compressed : {true, false}) {
            const std::string szx = name + (compressed ? ".szx" : "_plain.szx");
            std::vector<std::string> arguments{name + kind, szx};
            if (!compressed)
                arguments.insert(arguments.begin(), "-n");
            auto converted = run_program(SNAPCONV, arguments, dir.path());
            EXPECT_EQ(converted.exit_status, 0) << converted.standard_error;

            auto bytes = get(szx);
            ASSERT_GT(bytes.size(), 8u) << szx;
            EXPECT_EQ(bytes[6], machine) << szx;
            auto flags = ramp_flags(bytes);
            EXPECT_EQ(flags.size(), machine == 1 ? 3u : 8u) << szx;
            for (auto flag : flags)
                EXPECT_EQ(flag & 1, compressed ? 1 : 0) << szx;

            expect_success(mirva({szx, szx + ".scr"}));
            EXPECT_EQ(get(szx + ".scr"), bytes_of(screen)) << szx;
            base::MemorySource source(bytes);
            std::uint8_t read_border = 99;
            EXPECT_EQ(containers::read_szx_screen(source, szx, read_border), screen) << szx;
            EXPECT_EQ(read_border, border) << szx;
        }
    }
};

TEST_F(SzxSnapconv, A48kSnapshotGivesItsScreenAndBorder) {
    std::uint8_t border = 0;
    screen::ScreenImage ed_screen{};
    ed_screen.fill(0xED);
    for (const auto& screen : {card, make_random_screen(4), ed_screen, screen::ScreenImage{}}) {
        check("s48_" + std::to_string(border), make_sna(screen, border), screen, border, 1);
        border = static_cast<std::uint8_t>((border + 3) % 8);
    }
}

// Every bank at 0xC000, bank 7 shown and not: the screen is bank 7's when bit 3 of port 0x7FFD
// is set, whether bank 7 is the paged bank or not, and bank 5's otherwise.
TEST_F(SzxSnapconv, A128kSnapshotGivesTheScreenOnDisplay) {
    auto banks = make_banks(card);
    for (std::uint8_t paged = 0; paged < 8; ++paged) {
        for (std::uint8_t shadow : {0x00, 0x08}) {
            auto port = static_cast<std::uint8_t>(0x10 | shadow | paged);
            auto border = static_cast<std::uint8_t>((paged + shadow) % 8);
            // libspectrum takes a 128K SNA for a Pentagon 128, machine 7.
            check("s128_" + std::to_string(port), make_sna_128(banks, border, port),
                  bank_screen(banks[shadow ? 7 : 5]), border, 7);
        }
    }
}

// A 128K Spectrum proper (machine 2) comes from a version-3 Z80 file in hardware mode 4.
TEST_F(SzxSnapconv, A128kZ80SnapshotGivesTheScreenOnDisplay) {
    auto banks = make_banks(card);
    for (std::uint8_t port : {0x00, 0x08, 0x0F, 0x1B}) {
        std::vector<Z80Block> blocks;
        for (std::uint8_t bank = 0; bank < 8; ++bank)
            blocks.push_back(packed_block(static_cast<std::uint8_t>(bank + 3), banks[bank]));
        auto border = static_cast<std::uint8_t>(port % 8);
        auto z80 = make_z80_paged(54, static_cast<std::uint8_t>(border << 1), blocks);
        z80[34] = 4;  // Hardware mode: 128K.
        z80[35] = port;
        const std::string name = "z128_" + std::to_string(port);
        auto shown = bank_screen(banks[(port & 0x08) ? 7 : 5]);
        check(name, z80, shown, border, 2, ".z80");
        expect_success(mirva({name + ".z80", name + ".z80.scr"}));
        EXPECT_EQ(get(name + ".z80.scr"), bytes_of(shown)) << name;
    }
}

}  // namespace
}  // namespace mirva::testing
