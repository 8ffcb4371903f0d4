#include "screen/fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::screen {
namespace {

constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb WHITE{50, 50, 50};
constexpr Rgb BRIGHT_WHITE{63, 63, 63};
constexpr Rgb BRIGHT_BLUE{0, 0, 63};
constexpr Rgb BRIGHT_RED{63, 0, 0};
constexpr Rgb YELLOW{50, 50, 0};
constexpr Rgb RED{50, 0, 0};
constexpr Rgb GREEN{0, 50, 0};

// The cell the examples are fitted into: not the first, so that its offsets are exercised.
constexpr int CELL_COLUMN = 5;
constexpr int CELL_ROW = 10;

struct FittedCell {
    std::uint8_t attribute = 0;
    std::array<std::uint8_t, 8> lines{};  // The cell's bitmap byte in each of its 8 lines.
};

std::vector<Rgb> repeat(Rgb colour, std::size_t count) {
    return std::vector<Rgb>(count, colour);
}

std::vector<Rgb> operator+(std::vector<Rgb> first, const std::vector<Rgb>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Fits a picture whose one cell holds the 64 colours in scan order (the rest is palette entry
// 0, black) and returns that cell's attribute and bitmap bytes.
FittedCell fit_colours(const std::vector<Rgb>& colours) {
    EXPECT_EQ(colours.size(), 64u);
    Palette palette{};
    Picture picture;
    picture.width = 256;
    picture.height = 192;
    std::size_t used = 1;
    for (std::size_t i = 0; i < 64; ++i) {
        auto known = std::find(palette.begin() + 1, palette.begin() + used, colours[i]);
        if (known == palette.begin() + used)
            palette[used++] = colours[i];
        std::size_t x = CELL_COLUMN * 8 + i % 8;
        std::size_t y = CELL_ROW * 8 + i / 8;
        picture.pixels[y * 256 + x] = static_cast<std::uint8_t>(known - palette.begin());
    }
    ScreenImage screen = picture_to_screen(picture, palette);
    FittedCell cell;
    cell.attribute = screen[BITMAP_BYTES + CELL_ROW * 32 + CELL_COLUMN];
    for (int line = 0; line < 8; ++line)
        cell.lines[static_cast<std::size_t>(line)] =
            screen[bitmap_row_offset(CELL_ROW * 8 + line) + CELL_COLUMN];
    return cell;
}

std::array<std::uint8_t, 8> lines(std::uint8_t top_four, std::uint8_t bottom_four) {
    return {top_four,    top_four,    top_four,    top_four,
            bottom_four, bottom_four, bottom_four, bottom_four};
}

TEST(NearestSpectrumColour, KeepsTheLowerIndexOnATie) {
    EXPECT_EQ(nearest_spectrum_colour(BLACK), 0);
    for (std::uint8_t index = 0; index < 16; ++index)
        EXPECT_EQ(nearest_spectrum_colour(spectrum_palette[index]), index == 8 ? 0 : index);
    // (56 - 50)^2 = 36 is below (63 - 56)^2 = 49.
    EXPECT_EQ(nearest_spectrum_colour({0, 0, 56}), 1);
    EXPECT_EQ(nearest_spectrum_colour({0, 0, 57}), 9);
    EXPECT_EQ(nearest_spectrum_colour({0, 0, 25}), 0);  // 625 from black and from blue.
    EXPECT_EQ(colour_distance(BLACK, BRIGHT_WHITE), 3u * 63 * 63);
    EXPECT_EQ(colour_distance({1, 2, 3}, {3, 2, 0}), 13u);
}

TEST(PictureToScreen, UniformCellsTakeTheirColourAsInkAndPaper) {
    FittedCell red = fit_colours(repeat(BRIGHT_RED, 64));
    EXPECT_EQ(red.attribute, 0x52);
    EXPECT_EQ(red.lines, lines(0, 0));
    EXPECT_EQ(fit_colours(repeat(BLACK, 64)).attribute, 0x00);
    EXPECT_EQ(fit_colours(repeat({0, 63, 63}, 64)).attribute, 0x6D);  // Bright cyan.
    EXPECT_EQ(fit_colours(repeat(WHITE, 64)).attribute, 0x3F);
}

TEST(PictureToScreen, TwoColourCellsPutTheHigherColourInInk) {
    FittedCell white = fit_colours(repeat(BLACK, 32) + repeat(WHITE, 32));
    EXPECT_EQ(white.attribute, 0x07);
    EXPECT_EQ(white.lines, lines(0x00, 0xFF));
    // Black paper takes the bright bit from the ink.
    FittedCell bright = fit_colours(repeat(BLACK, 32) + repeat(BRIGHT_WHITE, 32));
    EXPECT_EQ(bright.attribute, 0x47);
    EXPECT_EQ(bright.lines, lines(0x00, 0xFF));
    FittedCell blue = fit_colours(repeat(BRIGHT_BLUE, 8) + repeat(BLACK, 56));
    EXPECT_EQ(blue.attribute, 0x41);
    EXPECT_EQ(blue.lines, (std::array<std::uint8_t, 8>{0xFF, 0, 0, 0, 0, 0, 0, 0}));
    // Ink and paper in the opposite order give the same cell.
    EXPECT_EQ(fit_colours(repeat(WHITE, 32) + repeat(BLACK, 32)).lines, lines(0xFF, 0x00));
}

TEST(PictureToScreen, SeedsComeFromTheLastPixelOfTheExtremeColours) {
    // Both seeds are the last bright blue pixel; every pixel ties and joins the paper, so the
    // ink keeps its seed's bright bit while the paper's mean stays nearer normal blue.
    FittedCell cell = fit_colours(repeat({0, 0, 50}, 32) + repeat(BRIGHT_BLUE, 32));
    EXPECT_EQ(cell.attribute, 0x09);
    EXPECT_EQ(cell.lines, lines(0, 0));
}

TEST(PictureToScreen, AColourHalfwayBetweenInkAndPaperBecomesPaper) {
    FittedCell cell = fit_colours(repeat(YELLOW, 32) + repeat(RED, 31) + repeat(GREEN, 1));
    EXPECT_EQ(cell.attribute, 0x16);
    EXPECT_EQ(cell.lines, lines(0xFF, 0x00));  // The green pixel is the cell's last.
}

TEST(PictureToScreen, TheOrderOfPixelsInTheCellChangesTheFit) {
    // The green pixel replaces the yellow seed of the ink centroid; the yellow pixels then tie
    // and join the paper, which they pull from red towards yellow and back.
    FittedCell cell = fit_colours(repeat(GREEN, 1) + repeat(YELLOW, 31) + repeat(RED, 32));
    EXPECT_EQ(cell.attribute, 0x14);
    EXPECT_EQ(cell.lines, lines(0xFF, 0x00));
}

TEST(PictureToScreen, LeavesOnlyBitsAndWritesEveryAttribute) {
    Picture picture;
    picture.width = 256;
    picture.height = 192;
    auto noise = testing::make_random_screen(7);
    for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
        picture.pixels[i] = noise[i % noise.size()] ^ static_cast<std::uint8_t>(i / 6912);
    Palette palette{};
    for (std::size_t entry = 0; entry < 256; ++entry)
        palette[entry] = {static_cast<std::uint8_t>(entry % 64),
                          static_cast<std::uint8_t>((entry * 7) % 64),
                          static_cast<std::uint8_t>((entry * 13) % 64)};
    ScreenImage screen = picture_to_screen(picture, palette);
    EXPECT_TRUE(std::all_of(picture.pixels.begin(), picture.pixels.begin() + SCREEN_PIXELS,
                            [](std::uint8_t bit) { return bit <= 1; }));
    for (std::size_t cell = 0; cell < ATTRIBUTE_BYTES; ++cell)
        EXPECT_EQ(screen[BITMAP_BYTES + cell] & 0x80, 0) << cell;
    // Each bit is the pixel at the same place: the packing follows the screen's row order.
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            auto bit =
                (screen[bitmap_row_offset(y) + static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
            ASSERT_EQ(bit, picture.pixels[static_cast<std::size_t>(y * 256 + x)]) << x << "," << y;
        }
}

// The nearest colour is searched once per palette entry instead of once per pixel; the
// screens and the working pixels come out the same as with the search at every pixel.
TEST(PictureToScreen, SearchPerPaletteEntryEqualsSearchPerPixel) {
    // A palette whose every entry maps to itself, for pictures already snapped (8 never is).
    Palette spectrum_identity{};
    std::copy(spectrum_palette.begin(), spectrum_palette.end(), spectrum_identity.begin());
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        auto noise = testing::make_random_screen(seed);
        Palette palette{};
        for (std::size_t entry = 0; entry < 256; ++entry) {
            auto pick = [&](std::size_t k) {
                std::uint8_t byte = noise[(entry * 3 + k) % noise.size()];
                // Mostly 0..63; every fourth seed favours ties: 0, 25, 50, 56, 63.
                if (seed % 4 == 0)
                    return std::array<std::uint8_t, 5>{0, 25, 50, 56, 63}[byte % 5];
                return static_cast<std::uint8_t>(byte % 64);
            };
            palette[entry] = {pick(0), pick(1), pick(2)};
        }
        Picture picture;
        picture.width = 256;
        picture.height = 192;
        for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
            picture.pixels[i] = noise[(i * 31 + seed) % noise.size()];
        if (seed % 3 == 0)  // Large areas of one entry, as real pictures have.
            for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
                picture.pixels[i] = static_cast<std::uint8_t>(i / 1000 + seed);

        Picture per_pixel = picture;
        for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
            per_pixel.pixels[i] = nearest_spectrum_colour(palette[per_pixel.pixels[i]]);
        Picture per_entry = picture;
        snap_to_spectrum(per_entry, palette);
        ASSERT_EQ(per_entry.pixels, per_pixel.pixels) << "seed " << seed;

        ScreenImage expected = picture_to_screen(per_pixel, spectrum_identity);
        ScreenImage fitted = picture_to_screen(picture, palette);
        EXPECT_EQ(fitted, expected) << "seed " << seed;
        EXPECT_EQ(picture.pixels, per_pixel.pixels) << "seed " << seed;
    }
}

TEST(RunningMean, EqualsTheTruncatedDivisionForEveryInput) {
    for (unsigned component = 0; component < 64; ++component)
        for (unsigned members = 0; members < 64; ++members)
            for (unsigned joining = 0; joining < 64; ++joining)
                ASSERT_EQ(running_mean(static_cast<std::uint8_t>(component), members,
                                       static_cast<std::uint8_t>(joining)),
                          (component * members + joining) / (members + 1))
                    << component << " " << members << " " << joining;
}

// The fit of one cell written as plainly as it is described: three passes over the pixels, a
// division for every mean, no shortcut for cells of one colour.
void reference_fit_cell(Picture& picture, ScreenImage& screen, int column, int row) {
    auto at = [&](int x, int y) -> std::uint8_t& {
        return picture.pixels[static_cast<std::size_t>((row * 8 + y) * 256 + column * 8 + x)];
    };
    std::uint8_t high = 0;
    std::uint8_t low = 15;
    for (int i = 0; i < 64; ++i) {
        std::uint8_t index = at(i % 8, i / 8);
        if ((index & 7) >= (high & 7))
            high = index;
        if ((index & 7) <= (low & 7))
            low = index;
    }
    std::array<unsigned, 3> ink{spectrum_palette[high].red, spectrum_palette[high].green,
                                spectrum_palette[high].blue};
    std::array<unsigned, 3> paper{spectrum_palette[low].red, spectrum_palette[low].green,
                                  spectrum_palette[low].blue};
    unsigned ink_members = 0;
    unsigned paper_members = 0;
    auto distance = [](const std::array<unsigned, 3>& centroid, const Rgb& colour) {
        auto square = [](int d) { return d * d; };
        return square(static_cast<int>(centroid[0]) - colour.red) +
               square(static_cast<int>(centroid[1]) - colour.green) +
               square(static_cast<int>(centroid[2]) - colour.blue);
    };
    for (int i = 0; i < 64; ++i) {
        const Rgb& colour = spectrum_palette[at(i % 8, i / 8)];
        bool to_ink = distance(ink, colour) < distance(paper, colour);
        auto& centroid = to_ink ? ink : paper;
        auto& members = to_ink ? ink_members : paper_members;
        centroid[0] = (centroid[0] * members + colour.red) / (members + 1);
        centroid[1] = (centroid[1] * members + colour.green) / (members + 1);
        centroid[2] = (centroid[2] * members + colour.blue) / (members + 1);
        ++members;
    }
    auto nearest = [](const std::array<unsigned, 3>& centroid) {
        return nearest_spectrum_colour({static_cast<std::uint8_t>(centroid[0]),
                                        static_cast<std::uint8_t>(centroid[1]),
                                        static_cast<std::uint8_t>(centroid[2])});
    };
    int ink_colour = nearest(ink);
    int paper_colour = nearest(paper);
    for (int i = 0; i < 64; ++i) {
        int base = at(i % 8, i / 8) & 7;
        at(i % 8, i / 8) = std::abs(base - (ink_colour & 7)) < std::abs(base - (paper_colour & 7));
    }
    int bright =
        ((paper_colour & 7) == 0 && (ink_colour & 7) != 0) ? ink_colour & 8 : paper_colour & 8;
    screen[BITMAP_BYTES + static_cast<std::size_t>(row * 32 + column)] =
        static_cast<std::uint8_t>((ink_colour & 7) + 8 * (paper_colour & 7) + (bright ? 0x40 : 0));
}

// Cells of one colour, of two, of a few and of many, in every mix, fit as the plain passes fit
// them: the shortcuts of the fit change no cell.
TEST(FitCell, EqualsThePlainPassesOnEveryKindOfCell) {
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        auto noise = testing::make_random_screen(seed);
        Picture picture;
        picture.width = 256;
        picture.height = 192;
        for (std::size_t i = 0; i < SCREEN_PIXELS; ++i) {
            std::size_t cell = (i / 256 / 8) * 32 + (i % 256) / 8;
            std::uint8_t byte = noise[(i * 7 + seed) % noise.size()];
            switch ((cell + seed) % 4) {
                case 0:  // One colour.
                    picture.pixels[i] = static_cast<std::uint8_t>(cell % 16);
                    break;
                case 1:  // Two colours.
                    picture.pixels[i] =
                        static_cast<std::uint8_t>(byte & 1 ? cell % 16 : 15 - cell % 16);
                    break;
                case 2:  // Almost one colour: a single other pixel somewhere.
                    picture.pixels[i] = static_cast<std::uint8_t>(
                        (i % 256) % 8 == cell % 8 && (i / 256) % 8 == seed % 8 ? 9 : 8);
                    break;
                default:  // Any of the 16.
                    picture.pixels[i] = byte & 15;
            }
        }
        Picture expected_pixels = picture;
        ScreenImage expected{};
        for (int row = 0; row < 24; ++row)
            for (int column = 0; column < 32; ++column)
                reference_fit_cell(expected_pixels, expected, column, row);
        ScreenImage fitted{};
        for (int row = 0; row < 24; ++row)
            for (int column = 0; column < 32; ++column)
                fit_cell(picture, fitted, column, row);
        EXPECT_EQ(fitted, expected) << "seed " << seed;
        EXPECT_EQ(picture.pixels, expected_pixels.pixels) << "seed " << seed;
    }
}

// A pixel above 15 would index past the Spectrum palette; it is refused on entry in every build,
// as are cells outside the screen.
TEST(FitCell, RefusesPixelsAboveFifteenAndCellsOutside) {
    Picture picture;
    picture.width = 256;
    picture.height = 192;
    ScreenImage screen{};
    for (std::size_t at : {std::size_t{0}, std::size_t{7}, std::size_t{7 * 256 + 7}}) {
        for (std::uint8_t bad : {16, 255}) {
            Picture wrong = picture;
            wrong.pixels[at] = bad;
            EXPECT_FAILURE(fit_cell(wrong, screen, 0, 0), base::MSG_INTERNAL);
        }
    }
    for (auto [column, row] : {std::pair{32, 0}, {0, 24}, {-1, 0}, {0, -1}})
        EXPECT_FAILURE(fit_cell(picture, screen, column, row), base::MSG_INTERNAL);
    picture.width = 255;
    EXPECT_FAILURE(picture_to_screen(picture, Palette{}), base::MSG_INTERNAL);
}

}  // namespace
}  // namespace mirva::screen
