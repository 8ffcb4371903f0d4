// TAP tapes end to end: the screen taken from a tape, every screen source written as a tape
// that an independent tape lister accepts, and the reader's refusals.
#include <filesystem>

#include "support/e2e.h"
#include "support/pcx_file.h"
#include "support/tap_file.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

const std::string TZXLIST = "/usr/bin/tzxlist";

class Tap : public MirvaTest {
protected:
    // Lists a tape with tzxlist: exactly a 19-byte header naming "SCREEN" as 6912 bytes of code
    // at 16384, then a 6914-byte data block, both checksums correct.
    void expect_screen_tape(const std::string& name) {
        ASSERT_TRUE(std::filesystem::exists(TZXLIST)) << "tzxlist (fuse-emulator-utils) missing";
        RunResult listing = run_program(TZXLIST, {name}, dir.path());
        ASSERT_EQ(listing.exit_status, 0) << listing.standard_error;
        const std::string& text = listing.standard_output;
        auto count = [&](const std::string& part) { return occurrences(text, part); };
        EXPECT_EQ(count("--= Block #"), 2u) << text;
        EXPECT_EQ(count("Block length: 19 bytes"), 1u) << text;
        EXPECT_EQ(count("Bytes: \"SCREEN    \" SCREEN$  16384, 6912"), 1u) << text;
        EXPECT_EQ(count("Block length: 6914 bytes"), 1u) << text;
        EXPECT_EQ(count("(PASS)"), 2u) << text;
        EXPECT_EQ(count("(FAIL)"), 0u) << text;
    }
};

TEST_F(Tap, ScreenIsTakenFromATape) {
    // Blocks before the screen, of other lengths, are passed over.
    put("game.tap", tap_block({0, 1, 2}) + tap_block(Bytes(6913, 7)) + screen_tape(card) +
                        screen_tape(make_random_screen(3)));
    expect_success(mirva({"game.tap", "game.scr"}));
    EXPECT_EQ(get("game.scr"), bytes_of(card));
    expect_success(mirva({"game.tap", "copy.tap", "-b"}));
    EXPECT_EQ(get("copy.tap"), screen_tape(card));
}

TEST_F(Tap, EveryScreenSourceIsWrittenAsATape) {
    put("a.scr", bytes_of(card));
    put("a.sna", make_sna(card, 5));
    put("a.sp", make_snapshot_file(card, 38, 34, 0));
    put("a.sit", make_snapshot_file(card, 16412, 27, 0));
    put("a.tap", tap_block({9}) + screen_tape(card));
    put("a.z80", make_z80_v1(memory_48k(card), 0x20));
    for (std::string source : {"a.scr", "a.sna", "a.sp", "a.sit", "a.tap", "a.z80"}) {
        std::string destination = "from_" + source.substr(2) + ".tap";
        expect_success(mirva({source, destination, "-i"}));
        EXPECT_EQ(get(destination), screen_tape(card)) << source;
        expect_screen_tape(destination);
    }
    // A picture is fitted first. 16x16 of bright white on a black margin stands at rows 88..103
    // and columns 120..135: four uniform cells of ink and paper 7, bright (0x7F).
    PcxPicture picture{.width = 16, .height = 16, .palette = {{0, 0, 0}, {252, 252, 252}}};
    picture.pixels.assign(256, 1);
    put("a.pcx", make_pcx(picture));
    expect_success(mirva({"a.pcx", "from_pcx.tap"}));
    screen::ScreenImage fitted{};
    for (std::size_t cell : {11 * 32 + 15, 11 * 32 + 16, 12 * 32 + 15, 12 * 32 + 16})
        fitted[screen::BITMAP_BYTES + cell] = 0x7F;
    EXPECT_EQ(get("from_pcx.tap"), screen_tape(fitted));
    expect_screen_tape("from_pcx.tap");
}

TEST_F(Tap, TapeListerNoticesABadChecksum) {
    // The listing check itself: a tape with one screen byte changed fails it.
    Bytes tape = screen_tape(card);
    tape[24 + 100] ^= 1;
    put("bad.tap", tape);
    RunResult listing = run_program(TZXLIST, {"bad.tap"}, dir.path());
    EXPECT_NE(listing.standard_output.find("(FAIL)"), std::string::npos);
}

TEST_F(Tap, TapesWithoutAWholeScreenAreRefused) {
    put("empty.tap", {});
    expect_message(mirva({"empty.tap", "out.scr"}), "EL TAP no tiene ninguna pantalla");
    put("header.tap", tap_block(Bytes(19, 0)) + Bytes{0x02});
    expect_message(mirva({"header.tap", "out.scr"}), "EL TAP no tiene ninguna pantalla");
    Bytes cut = screen_tape(card);
    cut.resize(cut.size() - 2);  // The last screen byte and the checksum are missing.
    put("cut.tap", cut);
    expect_message(mirva({"cut.tap", "out.tap"}), "Error leyendo del fichero cut.tap");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.scr"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tap"));
}

}  // namespace
}  // namespace mirva::testing
