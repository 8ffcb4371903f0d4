// Z80 and SLT snapshots end to end: the screen extracted whole, and the refusals.
#include <filesystem>

#include "support/e2e.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

using Z80 = MirvaTest;

// An SLT file: a version-3 snapshot, an empty block header and the SLT signature, a table of
// one level and its end, then the level's data.
std::vector<std::uint8_t> make_slt(const screen::ScreenImage& screen) {
    auto file = make_z80_paged(54, 0x06, {packed_block(8, screen_page(screen))});
    file.insert(file.end(), {0, 0, 0, 'S', 'L', 'T', 1, 0, 1, 0,    4,    0,    0,
                             0, 0, 0, 0,   0,   0,   0, 0, 0, 0xED, 0xED, 0x08, 0x08});
    return file;
}

TEST_F(Z80, ExtractsTheScreenOfEveryVersion) {
    put("v1.z80", make_z80_v1(memory_48k(card), 0x20));
    put("plain.z80", make_z80_v1(memory_48k(card), 0x00));
    put("v2.z80",
        make_z80_paged(23, 0,
                       {packed_block(5, screen_page({})), packed_block(8, screen_page(card))}));
    put("v3.Z80", make_z80_paged(54, 0, {plain_block(8, screen_page(card))}));
    put("long.z80",
        make_z80_paged(55, 0,
                       {packed_block(4, screen_page({})), packed_block(8, screen_page(card))}));
    for (const std::string name : {"v1.z80", "plain.z80", "v2.z80", "v3.Z80", "long.z80"}) {
        expect_success(mirva({name, name + ".scr"}));
        EXPECT_EQ(read_file(dir / (name + ".scr")), bytes_of(card)) << name;
    }
}

TEST_F(Z80, ExtractsTheScreenOfAnSltFile) {
    auto screen = make_ed_pairs_screen();
    put("game.slt", make_slt(screen));
    expect_success(mirva({"game.slt", "game.scr"}));
    EXPECT_EQ(read_file(dir / "game.scr"), bytes_of(screen));
}

TEST_F(Z80, RefusalsLeaveNoDestination) {
    expect_message(mirva({"missing.z80", "out.scr"}), "Error abriendo el fichero missing.z80");
    auto page = screen_page(card);
    put("short.z80", std::vector<std::uint8_t>(99));
    put("nopage.slt", make_z80_paged(54, 0, {plain_block(4, page), plain_block(5, page)}));
    put("empty.z80", make_z80_paged(23, 0, {{0, 8, {}}, plain_block(8, page)}));
    // A packed version-1 body that ends one byte before its screen does.
    auto cut = make_z80_v1(memory_48k(card), 0x20);
    cut.resize(30 + pack_z80(card).size() - 1);
    put("cut.z80", cut);
    std::filesystem::create_directory(dir / "folder.z80");
    for (const std::string name :
         {"short.z80", "nopage.slt", "empty.z80", "cut.z80", "folder.z80"}) {
        expect_message(mirva({name, "out.scr"}), "Error leyendo del fichero " + name);
        EXPECT_FALSE(exists("out.scr")) << name;
    }
}

}  // namespace
}  // namespace mirva::testing
