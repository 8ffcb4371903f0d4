// GIF files through the command line: screens written as GIF, GIF pictures fitted to screens.
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <utility>

#include "base/byte_source.h"
#include "containers/tap.h"
#include "pictures/gif_reader.h"
#include "pictures/gif_writer.h"
#include "screen/palette.h"
#include "screen/render.h"
#include "support/e2e.h"
#include "support/gif_bytes.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The colour of every pixel of a screen rendered at flash phase 0, as 8-bit components.
std::vector<screen::Rgb> screen_colours(const screen::ScreenImage& screen) {
    auto picture = screen::render_screen(screen, false, false, false);
    std::vector<screen::Rgb> colours;
    for (std::size_t i = 0; i < screen::SCREEN_PIXELS; ++i)
        colours.push_back(screen::spectrum_palette[picture.pixels[i]]);
    return colours;
}

screen::ScreenImage screen_of(const Bytes& bytes) {
    screen::ScreenImage screen{};
    EXPECT_EQ(bytes.size(), screen.size());
    std::copy_n(bytes.begin(), std::min(bytes.size(), screen.size()), screen.begin());
    return screen;
}

// A 100x50 picture of black (0) and bright yellow (1), and its pixels.
std::pair<Bytes, Bytes> small_picture() {
    GifParts parts;
    parts.screen_flags = 0x80;
    parts.colour_table = {0, 0, 0, 252, 252, 0};
    parts.width = 100;
    parts.height = 50;
    parts.minimum_code_size = 2;
    Bytes pixels(100 * 50);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(((i % 100) / 3 + (i / 100) / 5) % 2);
    parts.codes = plain_lzw_codes(pixels, 2);
    return {gif_bytes(parts), pixels};
}

// The index at x, y of the small picture centred in a 256x192 screen: it stands at column 78
// and row 71, centred as in a 320x200 frame, the odd margin column on the right; index 0 around.
std::uint8_t small_picture_index(const Bytes& pixels, int x, int y) {
    bool inside = x >= 78 && x < 178 && y >= 71 && y < 121;
    return inside ? pixels[static_cast<std::size_t>((y - 71) * 100 + x - 78)] : 0;
}

using Gif = MirvaTest;

TEST_F(Gif, SnapshotScreenIsWrittenAsGif) {
    put("x.sna", make_sna(card, 5));
    expect_success(mirva({"x.sna", "x.gif"}));
    auto file = read_file(dir / "x.gif");
    EXPECT_EQ(file, pictures::write_gif_screen(card, 0, {}, {}));
    // It reads back as the rendered screen with the Spectrum colours.
    screen::Palette palette{};
    base::MemorySource source(file);
    auto picture = pictures::read_gif_picture(source, palette);
    auto rendered = screen::render_screen(card, false, false, false);
    EXPECT_EQ(picture.pixels, rendered.pixels);
    EXPECT_TRUE(std::equal(screen::spectrum_palette.begin(), screen::spectrum_palette.end(),
                           palette.begin()));
}

TEST_F(Gif, Z80SnapshotScreenIsWrittenAsGif) {
    auto random = make_random_screen(21);
    put("game.z80", make_z80_v1(memory_48k(random), 0x20 | (3 << 1)));
    expect_success(mirva({"game.z80", "game.gif"}));
    EXPECT_EQ(read_file(dir / "game.gif"), pictures::write_gif_screen(random, 0, {}, {}));
}

TEST_F(Gif, ScreenFileWithOptionsIsRenderedAccordingly) {
    put("x.scr", bytes_of(card));
    expect_success(mirva({"x.scr", "plain.gif"}));
    expect_success(mirva({"-b", "x.scr", "bw.gif"}));
    expect_success(mirva({"x.scr", "-I", "inverse.gif"}));
    expect_success(mirva({"-i", "-B", "x.scr", "both.gif"}));
    EXPECT_EQ(read_file(dir / "plain.gif"), pictures::write_gif_screen(card, 0, {}, {}));
    EXPECT_EQ(read_file(dir / "bw.gif"),
              pictures::write_gif_screen(card, 0, {.bw = true, .inverse = false}, {}));
    EXPECT_EQ(read_file(dir / "inverse.gif"),
              pictures::write_gif_screen(card, 0, {.bw = false, .inverse = true}, {}));
    EXPECT_EQ(read_file(dir / "both.gif"),
              pictures::write_gif_screen(card, 0, {.bw = true, .inverse = true}, {}));
    EXPECT_NE(read_file(dir / "bw.gif"), read_file(dir / "plain.gif"));
    EXPECT_NE(read_file(dir / "both.gif"), read_file(dir / "bw.gif"));

    put("zero.scr", Bytes(6912, 0));
    expect_success(mirva({"zero.scr", "zero.gif"}));
    auto zero = read_file(dir / "zero.gif");
    ASSERT_EQ(zero.size(), 380u);
    EXPECT_EQ(zero[73], 0x10);
    EXPECT_EQ(zero.back(), 0x3B);
}

TEST_F(Gif, WrittenGifConvertsBackToTheSameColours) {
    put("x.scr", bytes_of(card));
    expect_success(mirva({"x.scr", "art.gif"}));
    expect_success(mirva({"art.gif", "art.scr"}));
    EXPECT_EQ(screen_colours(screen_of(read_file(dir / "art.scr"))), screen_colours(card));
}

TEST_F(Gif, SmallerPictureIsCentredOnBlack) {
    // Black and bright yellow: every 8x8 cell holds at most these two colours, so the screen
    // shows the picture exactly.
    auto [file, pixels] = small_picture();
    put("small.gif", file);
    expect_success(mirva({"small.gif", "small.scr"}));
    auto colours = screen_colours(screen_of(read_file(dir / "small.scr")));
    const screen::Rgb black{0, 0, 0};
    const screen::Rgb yellow{63, 63, 0};
    for (int y = 0; y < 192; ++y) {
        for (int x = 0; x < 256; ++x) {
            auto expected = small_picture_index(pixels, x, y) ? yellow : black;
            ASSERT_EQ(colours[static_cast<std::size_t>(y * 256 + x)], expected)
                << "pixel " << x << "," << y;
        }
    }
}

TEST_F(Gif, PictureIsWrittenAsATape) {
    put("x.scr", bytes_of(card));
    expect_success(mirva({"x.scr", "art.gif"}));
    expect_success(mirva({"art.gif", "art.scr"}));
    expect_success(mirva({"art.gif", "art.tap"}));
    auto tape = read_file(dir / "art.tap");
    ASSERT_EQ(tape.size(), containers::TAP_FILE_BYTES);
    EXPECT_EQ(Bytes(tape.begin() + 24, tape.begin() + 24 + 6912), read_file(dir / "art.scr"));
}

TEST_F(Gif, ReadsPastEveryExtensionAndRefusesOversizedPictures) {
    GifParts parts;
    parts.colour_table = test_colour_table(1);
    parts.width = 8;
    parts.height = 8;
    parts.codes = plain_lzw_codes(Bytes(64, 1), 2);
    parts.extensions = {graphic_control_extension()};
    put("one.gif", gif_bytes(parts));
    parts.extensions = {graphic_control_extension(), {0x21, 0xFE, 2, 'h', 'i', 0}};
    put("two.gif", gif_bytes(parts));
    parts.extensions = {graphic_control_extension(), {0x21, 0xFE, 2, 'h', 'i', 0}, {0x3B}};
    put("stray.gif", gif_bytes(parts));
    parts.extensions = {};
    parts.width = 257;
    put("wide.gif", gif_bytes(parts));
    parts.width = 8;
    parts.image_flags = 0x87;
    put("local.gif", gif_bytes(parts));

    const std::string too_large = "La imagen no es 256x192 8bpp o menor";
    expect_message(mirva({"stray.gif", "out.scr"}), too_large);
    expect_message(mirva({"wide.gif", "out.scr"}), too_large);
    expect_message(mirva({"local.gif", "out.scr"}),
                   "La imagen tiene caracteristicas no soportadas por el programa");
    put("not.gif", bytes_of(card));
    expect_message(mirva({"not.gif", "out.scr"}), "El fichero no es de tipo GIF");
    parts.image_flags = 0;
    auto cut = gif_bytes(parts);
    cut.resize(32);  // The data's first sub-block comes short.
    put("cut.gif", cut);
    expect_message(mirva({"cut.gif", "out.scr"}), "Error leyendo datos del fichero");
    EXPECT_FALSE(exists("out.scr"));
    expect_success(mirva({"one.gif", "out.scr"}));  // Extensions are read past.
    expect_success(mirva({"two.gif", "two.scr"}));
    EXPECT_EQ(get("two.scr"), get("out.scr"));
}

TEST_F(Gif, ReadsPictureFromFileLargerThanTwoGibibytes) {
    put("x.scr", bytes_of(card));
    expect_success(mirva({"x.scr", "art.gif"}));
    std::filesystem::copy_file(dir / "art.gif", dir / "big.gif");
    std::filesystem::resize_file(dir / "big.gif", 5ull << 30);  // Sparse: takes no disk space.
    expect_success(mirva({"art.gif", "art.scr"}));
    expect_success(mirva({"big.gif", "big.scr"}));
    EXPECT_EQ(read_file(dir / "big.scr"), read_file(dir / "art.scr"));
}

}  // namespace
}  // namespace mirva::testing
