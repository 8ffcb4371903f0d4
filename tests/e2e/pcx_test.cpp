// PCX pictures end to end: screens written as PCX, PCX pictures fitted to SCR and TAP screens,
// the palette options on a picture, smaller pictures centred first, and the reader's refusals.
#include "pictures/pcx.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "support/e2e.h"
#include "support/pcx_file.h"
#include "support/tap_file.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Rgb8 BRIGHT_YELLOW{252, 252, 0};  // (63, 63, 0) once shifted.
constexpr Rgb8 BLUE{0, 0, 200};             // (0, 0, 50).
constexpr Rgb8 GREEN{0, 200, 0};            // (0, 50, 0).
constexpr Rgb8 WHITE{200, 200, 200};        // (50, 50, 50).
constexpr Rgb8 RED{200, 0, 0};

// A screen whose every bitmap byte is the function of its pixel row and every attribute one
// value.
screen::ScreenImage uniform_screen(const std::function<std::uint8_t(int)>& row_byte,
                                   std::uint8_t attribute) {
    screen::ScreenImage expected{};
    for (int y = 0; y < 192; ++y)
        for (std::size_t c = 0; c < 32; ++c)
            expected[screen::bitmap_row_offset(y) + c] = row_byte(y);
    std::fill(expected.begin() + screen::BITMAP_BYTES, expected.end(), attribute);
    return expected;
}

// Blue with bright yellow in the right half of every cell on even rows, the left half on odd.
PcxPicture stripes() {
    PcxPicture picture{.width = 256, .height = 192, .palette = {BLUE, BRIGHT_YELLOW}};
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
            picture.pixels.push_back(static_cast<std::uint8_t>((x / 4 + y) % 2));
    return picture;
}

// A width x height picture of white, index 5, on a palette whose entry 0 is green and whose
// padding bytes are red: leaked padding or wrong margins show up in the fit.
PcxPicture white_box(int width, int height) {
    PcxPicture picture{.width = width, .height = height};
    picture.pixels.assign(static_cast<std::size_t>(width * height), 5);
    picture.palette = {GREEN, {}, {}, {}, {}, WHITE, RED};
    picture.padding = 6;
    return picture;
}

// What fitting gives for white_box centred in 256x192 at the given place: green outside
// (0x24), white inside (0x3F), white ink on green paper where a cell holds both.
screen::ScreenImage expected_white_box(int left, int top, int width, int height) {
    screen::ScreenImage expected{};
    auto inside = [&](int x, int y) {
        return x >= left && x < left + width && y >= top && y < top + height;
    };
    for (int row = 0; row < 24; ++row) {
        for (int column = 0; column < 32; ++column) {
            int count = 0;
            for (int y = row * 8; y < row * 8 + 8; ++y)
                for (int x = column * 8; x < column * 8 + 8; ++x)
                    count += inside(x, y) ? 1 : 0;
            std::uint8_t attribute = count == 0 ? 0x24 : count == 64 ? 0x3F : 0x27;
            expected[screen::BITMAP_BYTES + static_cast<std::size_t>(row * 32 + column)] =
                attribute;
            if (attribute != 0x27)
                continue;
            for (int y = row * 8; y < row * 8 + 8; ++y) {
                std::uint8_t bits = 0;
                for (int x = column * 8; x < column * 8 + 8; ++x)
                    bits = static_cast<std::uint8_t>((bits << 1) | (inside(x, y) ? 1 : 0));
                expected[screen::bitmap_row_offset(y) + static_cast<std::size_t>(column)] = bits;
            }
        }
    }
    return expected;
}

using Pcx = MirvaTest;

TEST_F(Pcx, EveryScreenSourceBecomesTheSamePicture) {
    // Pillow and ImageMagick check the pixels of such files; here every source kind gets them.
    put("game.sna", make_sna(card, 2));
    put("game.scr", bytes_of(card));
    put("game.tap", screen_tape(card));
    for (std::string source : {"game.sna", "game.scr", "game.tap"}) {
        std::string destination = source.substr(5) + ".PCX";
        expect_success(mirva({"-b", source, destination}));
        EXPECT_EQ(get(destination),
                  pictures::write_pcx_screen(card, 0, {.bw = true, .inverse = false}, {}))
            << source;
    }
    put("blank.scr", Bytes(6912, 0));
    expect_success(mirva({"blank.scr", "blank.pcx"}));
    EXPECT_EQ(get("blank.pcx").size(), 2817u);
}

TEST_F(Pcx, PictureIsFittedToAScreenAndATape) {
    put("art.pcx", make_pcx(stripes()));
    expect_success(mirva({"art.pcx", "art.scr"}));
    // Bright yellow is the ink (6), blue the paper (1); the paper's bright bit is clear.
    auto expected = uniform_screen([](int y) { return y % 2 ? 0xF0 : 0x0F; }, 0x0E);
    EXPECT_EQ(get("art.scr"), bytes_of(expected));
    expect_success(mirva({"art.pcx", "art.tap"}));
    EXPECT_EQ(get("art.tap"), screen_tape(expected));
}

TEST_F(Pcx, OptionsChangeThePicturesPalette) {
    put("art.pcx", make_pcx(stripes()));
    // Inverse: yellow becomes (0, 0, 63), bright blue; blue becomes (63, 63, 13), bright
    // yellow, now the ink; the paper's bright bit is set.
    expect_success(mirva({"-i", "art.pcx", "inverse.scr"}));
    EXPECT_EQ(get("inverse.scr"),
              bytes_of(uniform_screen([](int y) { return y % 2 ? 0x0F : 0xF0; }, 0x4E)));
    // Grey: yellow becomes (42, 42, 42), white; blue (16, 16, 16), black.
    expect_success(mirva({"art.pcx", "grey.scr", "-B"}));
    EXPECT_EQ(get("grey.scr"),
              bytes_of(uniform_screen([](int y) { return y % 2 ? 0xF0 : 0x0F; }, 0x07)));
    // Grey, then inverse: yellow 21, black; blue 47, white.
    expect_success(mirva({"-i", "-b", "art.pcx", "both.tap"}));
    EXPECT_EQ(get("both.tap"),
              screen_tape(uniform_screen([](int y) { return y % 2 ? 0x0F : 0xF0; }, 0x07)));
}

TEST_F(Pcx, SmallerPicturesAreCentredOnIndexZeroBeforeFitting) {
    // 100x50: frame rows 75..124, columns 110..209; the screen's window starts at row 4,
    // column 32.
    put("even.pcx", make_pcx(white_box(100, 50)));
    expect_success(mirva({"even.pcx", "even.scr"}));
    EXPECT_EQ(get("even.scr"), bytes_of(expected_white_box(78, 71, 100, 50)));
    // 99x49, lines padded to 100: the extra margin row goes above, the extra column right.
    put("odd.pcx", make_pcx(white_box(99, 49)));
    expect_success(mirva({"odd.pcx", "odd.tap"}));
    EXPECT_EQ(get("odd.tap"), screen_tape(expected_white_box(78, 72, 99, 49)));
    put("dot.pcx", make_pcx(white_box(1, 1)));
    expect_success(mirva({"dot.pcx", "dot.scr"}));
    EXPECT_EQ(get("dot.scr"), bytes_of(expected_white_box(127, 96, 1, 1)));
    // An empty picture leaves only the margins.
    PcxPicture empty = white_box(1, 1);
    Bytes file = make_pcx(empty);
    file[4] = 1;  // xmin 1, xmax 0: width 0.
    put("empty.pcx", file);
    expect_success(mirva({"empty.pcx", "empty.scr"}));
    EXPECT_EQ(get("empty.scr"), bytes_of(uniform_screen([](int) { return 0; }, 0x24)));
}

TEST_F(Pcx, DataLongerThanAFrameAreReadFromTheFile) {
    // Every pixel differs from its neighbours and is 0xC0 or above, so each takes a count
    // byte: 98304 bytes of data. Entries 0xC0 and 0xC1 are blue, 0xC2 and 0xC3 white, in a
    // checkerboard of cells.
    PcxPicture picture{.width = 256, .height = 192};
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
            picture.pixels.push_back(
                static_cast<std::uint8_t>(0xC0 + 2 * ((x / 8 + y / 8) % 2) + x % 2));
    picture.palette.assign(256, BLUE);
    picture.palette[0xC2] = WHITE;
    picture.palette[0xC3] = WHITE;
    Bytes file = make_pcx(picture);
    ASSERT_GT(file.size(), 98304u);
    put("long.pcx", file);
    expect_success(mirva({"long.pcx", "long.scr"}));
    screen::ScreenImage expected{};
    for (int row = 0; row < 24; ++row)
        for (int column = 0; column < 32; ++column)
            expected[screen::BITMAP_BYTES + static_cast<std::size_t>(row * 32 + column)] =
                (column + row) % 2 ? 0x3F : 0x09;
    EXPECT_EQ(get("long.scr"), bytes_of(expected));
}

TEST_F(Pcx, UnreadablePicturesLeaveNoDestination) {
    put("text.pcx", Bytes(2000, 'x'));
    expect_message(mirva({"text.pcx", "out.scr"}), "El fichero no es de tipo PCX");
    Bytes wide = make_pcx(white_box(257, 1));
    put("wide.pcx", wide);
    expect_message(mirva({"wide.pcx", "out.scr"}), "La imagen no es 256x192 8bpp o menor");
    Bytes cut = make_pcx(stripes());
    cut.resize(cut.size() - 1);
    put("cut.pcx", cut);
    expect_message(mirva({"cut.pcx", "out.tap"}), "Error leyendo datos del fichero");
    std::filesystem::create_directory(dir / "folder.pcx");
    expect_message(mirva({"folder.pcx", "out.scr"}), "Error leyendo datos del fichero");
    expect_message(mirva({"missing.pcx", "out.scr"}), "Error abriendo el fichero missing.pcx");
    EXPECT_FALSE(exists("out.scr"));
    EXPECT_FALSE(exists("out.tap"));
}

}  // namespace
}  // namespace mirva::testing
