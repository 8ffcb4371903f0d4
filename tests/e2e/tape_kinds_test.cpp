// TZX and PZX tapes and the SCR variants end to end. TZX tapes are made by Fuse's tapeconv and
// snap2tzx, independent writers; PZX tapes are built here from the format's definition and
// checked with Fuse's tzxlist, an independent reader.
#include <filesystem>

#include "base/byte_source.h"
#include "containers/tzx.h"
#include "support/e2e.h"
#include "support/tap_file.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

const std::string TAPECONV = "/usr/bin/tapeconv";
const std::string SNAP2TZX = "/usr/bin/snap2tzx";
const std::string TZXLIST = "/usr/bin/tzxlist";

class TapeKinds : public MirvaTest {
protected:
    void SetUp() override {
        for (const std::string& tool : {TAPECONV, SNAP2TZX, TZXLIST})
            ASSERT_TRUE(std::filesystem::exists(tool)) << tool << " (fuse-emulator-utils) missing";
    }

    RunResult tool(const std::string& program, const std::vector<std::string>& arguments) {
        RunResult result = run_program(program, arguments, dir.path());
        EXPECT_EQ(result.exit_status, 0) << program << ": " << result.standard_error;
        return result;
    }

    // The screen and border colour mirva's reader takes from a TZX file, in process.
    std::pair<screen::ScreenImage, std::uint8_t> read_tzx(const std::string& name) {
        auto bytes = get(name);
        base::MemorySource source(bytes);
        std::uint8_t border = 99;
        auto screen = containers::read_tzx_screen(source, name, border);
        return {screen, border};
    }

    // Converts the source to SCR and GIF and checks both against what the plain screen gives.
    void expect_screen(const std::string& source, const screen::ScreenImage& expected) {
        const std::string stem = source.substr(0, source.find('.'));
        put(stem + "_expected.scr", bytes_of(expected));
        expect_success(mirva({stem + "_expected.scr", stem + "_expected.gif"}));
        expect_success(mirva({source, stem + "_got.scr"}));
        expect_success(mirva({source, stem + "_got.gif"}));
        EXPECT_EQ(get(stem + "_got.scr"), bytes_of(expected)) << source;
        EXPECT_EQ(get(stem + "_got.gif"), get(stem + "_expected.gif")) << source;
    }
};

// A header block alone: a tape with no screen of its own.
Bytes program_header_tape() {
    Bytes header{0x00, 0x00, 'l', 'o', 'a', 'd', 'e', 'r', ' ', ' ', ' ', ' ', 10, 0, 0, 0, 10, 0};
    std::uint8_t checksum = 0;
    for (std::uint8_t byte : header)
        checksum ^= byte;
    header.push_back(checksum);
    return tap_block(header);
}

TEST_F(TapeKinds, TapeconvTapesGiveTheScreenOfTheirTap) {
    const std::vector<screen::ScreenImage> screens{card, make_random_screen(7), {}};
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const std::string name = "tape" + std::to_string(i);
        put(name + ".tap", program_header_tape() + screen_tape(screens[i]));
        tool(TAPECONV, {name + ".tap", name + ".tzx"});
        EXPECT_EQ(get(name + ".tzx")[10], 0x10) << "a standard-speed block first";
        expect_screen(name + ".tzx", screens[i]);
        EXPECT_EQ(read_tzx(name + ".tzx").second, 99) << "no border in a data block";
    }
}

TEST_F(TapeKinds, TapeconvLoadingScreenGivesTheScreenAndBorderWhenNoBlockHasOne) {
    const auto loading = make_random_screen(8);
    put("loading.scr", bytes_of(loading));
    put("plain.tap", program_header_tape() + tap_block(Bytes(6913, 0x5A)));
    tool(TAPECONV, {"-s", "loading.scr", "plain.tap", "plain.tzx"});
    EXPECT_EQ(occurrences(tool(TZXLIST, {"plain.tzx"}).standard_output, "Custom Info"), 1u);
    expect_screen("plain.tzx", loading);
    EXPECT_EQ(read_tzx("plain.tzx"), std::make_pair(loading, std::uint8_t{0}));  // Black.

    // A screen saved on the tape comes first.
    put("game.tap", program_header_tape() + screen_tape(card));
    tool(TAPECONV, {"-s", "loading.scr", "game.tap", "game.tzx"});
    expect_screen("game.tzx", card);
}

TEST_F(TapeKinds, Snap2tzxTapesHoldNoScreenMirvaCanRead) {
    // snap2tzx saves the screen compressed, for its own loader, in a turbo block.
    put("game.sna", make_sna(card, 2));
    tool(SNAP2TZX, {"-o", "game.tzx", "game.sna"});
    const std::string listing = tool(TZXLIST, {"game.tzx"}).standard_output;
    EXPECT_GT(occurrences(listing, "Turbo Speed Data"), 0u) << listing;
    EXPECT_EQ(occurrences(listing, "6914 bytes"), 0u) << listing;
    expect_message(mirva({"game.tzx", "game.gif"}), "El TZX no tiene ninguna pantalla");
    EXPECT_FALSE(exists("game.gif"));
}

TEST_F(TapeKinds, TurboAndPureDataBlocksGiveTheirScreen) {
    const auto second = make_random_screen(9);
    put("turbo.tzx", tzx_header() + tzx_turbo_block(Bytes(100, 1)) +
                         tzx_turbo_block(screen_data(card)) +
                         tzx_standard_block(screen_data(second)));
    put("pure.tzx", tzx_header(1, 13) + tzx_pure_data_block(screen_data(second)));
    for (std::string name : {"turbo.tzx", "pure.tzx"}) {
        RunResult listing = tool(TZXLIST, {name});
        EXPECT_EQ(occurrences(listing.standard_output, "Data length: 6914 bytes"), 1u)
            << listing.standard_output;
    }
    expect_screen("turbo.tzx", card);
    expect_screen("pure.tzx", second);
}

TEST_F(TapeKinds, PzxDataBlockGivesItsScreen) {
    const auto screen = make_random_screen(10);
    Bytes pilot =
        pzx_block("PULS", little_endian_bytes(0x8000 | 3223, 2) + little_endian_bytes(2168, 2) +
                              little_endian_bytes(667, 2) + little_endian_bytes(735, 2));
    put("game.pzx", pzx_header() + pilot + pzx_data_block(screen_data(screen)) +
                        pzx_block("PAUS", little_endian_bytes(3'500'000, 4)));
    const std::string listing = tool(TZXLIST, {"game.pzx"}).standard_output;
    EXPECT_EQ(occurrences(listing, "Data length: 6914 bytes"), 1u) << listing;
    EXPECT_EQ(occurrences(listing, "(PASS)"), 1u) << listing;
    expect_screen("game.pzx", screen);

    put("empty.pzx", pzx_header() + pilot + pzx_data_block(Bytes(6913, 0)));
    expect_message(mirva({"empty.pzx", "empty.scr"}), "El PZX no tiene ninguna pantalla");
    EXPECT_FALSE(exists("empty.scr"));
}

TEST_F(TapeKinds, TapesAreSourcesOnlyOfTheSnapshotFamily) {
    const std::string same = "No se puede convertir una imagen a otra del mismo tipo";
    const std::string bad = "El formato de destino no puede ser ese";
    expect_message(mirva({"a.tzx", "b.z80"}), same);
    expect_message(mirva({"a.pzx", "b.tzx"}), same);
    expect_message(mirva({"a.sna", "b.PZX"}), same);
    expect_message(mirva({"a.scr", "b.tzx"}), bad);
    expect_message(mirva({"a.gif", "b.pzx"}), bad);
    EXPECT_FALSE(exists("b.tzx"));
    EXPECT_FALSE(exists("b.pzx"));
}

TEST_F(TapeKinds, PlusThreeDosAndBitmapOnlyScreensAreRead) {
    const Bytes signature{'P', 'L', 'U', 'S', '3', 'D', 'O', 'S', 0x1A, 1, 0};
    Bytes header(128, 0);
    std::copy(signature.begin(), signature.end(), header.begin());
    put("plus3.scr", header + bytes_of(card));
    expect_screen("plus3.scr", card);

    put("bitmap.scr", Bytes(card.begin(), card.begin() + 6144));
    screen::ScreenImage bitmap_only = card;
    std::fill(bitmap_only.begin() + 6144, bitmap_only.end(), 0x38);
    expect_screen("bitmap.scr", bitmap_only);
}

}  // namespace
}  // namespace mirva::testing
