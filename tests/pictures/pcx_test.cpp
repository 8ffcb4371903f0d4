#include "pictures/pcx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "screen/render.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The header fields a test varies; the rest are as common writers put them.
struct Header {
    int width = 4;
    int height = 2;
    int bytes_per_line = 4;
    std::uint8_t encoding = 1;
    std::uint8_t manufacturer = 10;
    std::uint8_t version = 5;
    std::uint8_t bits_per_pixel = 8;
    std::uint8_t planes = 1;
    int xmin = 0;
    int ymin = 0;
};

void put_u16(Bytes& bytes, std::size_t offset, int value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// A whole file: header, the data as given, the marker and a palette whose entry i is
// (4i, 4i + 1, 4i + 2) mod 256.
Bytes pcx_file(const Header& header, const Bytes& data) {
    Bytes file(128 + data.size() + 1 + 768, 0);
    file[0] = header.manufacturer;
    file[1] = header.version;
    file[2] = header.encoding;
    file[3] = header.bits_per_pixel;
    put_u16(file, 4, header.xmin);
    put_u16(file, 6, header.ymin);
    put_u16(file, 8, header.xmin + header.width - 1);
    put_u16(file, 10, header.ymin + header.height - 1);
    file[65] = header.planes;
    put_u16(file, 66, header.bytes_per_line);
    std::copy(data.begin(), data.end(), file.begin() + 128);
    auto palette = file.begin() + 128 + static_cast<std::ptrdiff_t>(data.size());
    *palette++ = 0x0C;
    for (int entry = 0; entry < 256; ++entry)
        for (int component = 0; component < 3; ++component)
            *palette++ = static_cast<std::uint8_t>(4 * entry + component);
    return file;
}

screen::Picture read(const Bytes& file, screen::Palette& palette) {
    base::MemorySource source(file);
    return read_pcx_picture(source, palette);
}

screen::Picture read(const Bytes& file) {
    screen::Palette palette{};
    return read(file, palette);
}

// The picture's pixels, row-major without gaps.
Bytes pixels_of(const screen::Picture& picture) {
    auto count = static_cast<std::ptrdiff_t>(picture.width * picture.height);
    return {picture.pixels.begin(), picture.pixels.begin() + count};
}

Bytes header_of(const Bytes& file) {
    return {file.begin(), file.begin() + 128};
}

TEST(WritePcxScreen, AllZeroScreenGivesTheShortestFile) {
    screen::ScreenImage zero{};
    Bytes file = write_pcx_screen(zero, 0, {}, {});
    ASSERT_EQ(file.size(), 2817u);
    Bytes header{0x0A, 0x05, 0x01, 0x08, 0, 0, 0, 0, 0xFF, 0x00, 0xBF, 0x00, 0x00, 0x01, 0xC0, 0};
    for (const auto& colour : screen::spectrum_palette)
        for (int component : {colour.red, colour.green, colour.blue})
            header.push_back(static_cast<std::uint8_t>(component * 4));
    header.insert(header.end(), {0x00, 0x01, 0x00, 0x01, 0x01, 0x00});
    header.resize(128, 0);
    EXPECT_EQ(header_of(file), header);
    EXPECT_EQ(file[16 + 3 * 1 + 2], 0xC8);  // Blue of entry 1: 50 x 4.
    EXPECT_EQ(file[16 + 3 * 15], 0xFC);     // Red of entry 15: 63 x 4.

    const Bytes line{0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0xC4, 0};
    for (std::size_t y = 0; y < 192; ++y)
        ASSERT_TRUE(std::equal(line.begin(), line.end(), file.begin() + 128 + 10 * y)) << y;
    EXPECT_EQ(file[128 + 1920], 0x0C);
    EXPECT_TRUE(std::equal(header.begin() + 16, header.begin() + 64, file.begin() + 2049));
    EXPECT_TRUE(std::all_of(file.end() - 720, file.end(), [](auto byte) { return byte == 0; }));
}

// A screen is written row by row as it is rendered; the file is that of its whole picture.
TEST(WritePcxScreen, WritesTheFileOfTheRenderedPicture) {
    for (const auto& screen :
         {testing::make_test_card(), testing::make_random_screen(5), screen::ScreenImage{}}) {
        for (int options = 0; options < 4; ++options) {
            const bool bw = options & 1;
            const bool inverse = options & 2;
            screen::Picture picture = screen::render_screen(screen, bw, inverse, false);
            EXPECT_EQ(write_pcx_screen(screen, 0, {.bw = bw, .inverse = inverse}, {}),
                      encode_pcx(std::span(picture.pixels).first(49152)))
                << options;
        }
    }
}

TEST(EncodePcx, RunsEndAtTheEndOfALineAndAtSixtyThreePixels) {
    Bytes pixels(49152, 0);
    std::iota(pixels.begin(), pixels.begin() + 256, 0);  // Line 0: 0..255, all different.
    std::fill(pixels.begin() + 256, pixels.begin() + 512, 5);
    std::fill(pixels.begin() + 512, pixels.begin() + 512 + 64, 5);  // Line 2 starts with 64.
    Bytes file = encode_pcx(pixels);

    Bytes first;  // Values below 0xC0 stand alone; the others need a count of 1.
    for (int value = 0; value < 256; ++value) {
        if (value >= 0xC0)
            first.push_back(0xC1);
        first.push_back(static_cast<std::uint8_t>(value));
    }
    auto data = file.begin() + 128;
    ASSERT_TRUE(std::equal(first.begin(), first.end(), data));
    data += static_cast<std::ptrdiff_t>(first.size());
    // Line 1, all 5: 63, 63, 63, 63 and 4. Line 2 starts afresh: 63 and a single 5.
    const Bytes next{0xFF, 5, 0xFF, 5, 0xFF, 5, 0xFF, 5, 0xC4, 5, 0xFF, 5, 5, 0xFF, 0};
    EXPECT_TRUE(std::equal(next.begin(), next.end(), data));
    // Line 2 ends in 192 zeros: 63, 63, 63 and 3.
    EXPECT_EQ(file.size(), 128 + first.size() + 10 + 11 + 189 * 10 + 769);
}

// Runs of every length up to past two of the longest, at every alignment to eight pixels and
// against the end of a line, in values below and above 0xC0, coded as the format describes it:
// from each pixel, as many equal ones as follow on the line, 63 at most.
TEST(EncodePcx, CodesRunsOfEveryLengthAndPlace) {
    Bytes pixels(49152, 0);
    std::size_t at = 0;
    for (std::size_t line = 0; line < 180; ++line) {
        const std::size_t start = line * 256;
        std::size_t x = 0;
        for (std::size_t k = 0; x < 256; ++k) {
            const std::size_t length =
                std::min<std::size_t>((line * 7 + k * 13) % 131 + 1, 256 - x);
            const auto value = static_cast<std::uint8_t>((line % 3 == 0 ? 0xC0 : 0) + (at++ % 5));
            std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(start + x), length, value);
            x += length;
        }
    }
    Bytes expected;
    for (std::size_t start = 0; start < pixels.size(); start += 256) {
        for (std::size_t x = 0; x < 256;) {
            const std::uint8_t value = pixels[start + x];
            std::size_t run = 1;
            while (x + run < 256 && run < 63 && pixels[start + x + run] == value)
                ++run;
            if (run > 1 || value >= 0xC0)
                expected.push_back(static_cast<std::uint8_t>(0xC0 + run));
            expected.push_back(value);
            x += run;
        }
    }
    const Bytes file = encode_pcx(pixels);
    ASSERT_EQ(file.size(), 128 + expected.size() + 769);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 128));
}

TEST(ReadPcxPicture, ReadsBackWhatItWrites) {
    auto card = testing::make_test_card();
    for (bool bw : {false, true}) {
        for (bool inverse : {false, true}) {
            screen::Palette palette{};
            palette.fill({9, 9, 9});
            screen::Picture picture =
                read(write_pcx_screen(card, 0, {.bw = bw, .inverse = inverse}, {}), palette);
            screen::Picture rendered = screen::render_screen(card, bw, inverse, false);
            EXPECT_EQ(picture.width, 256);
            EXPECT_EQ(picture.height, 192);
            EXPECT_EQ(pixels_of(picture),
                      Bytes(rendered.pixels.begin(), rendered.pixels.begin() + 49152));
            for (std::size_t entry = 0; entry < 256; ++entry)
                EXPECT_EQ(palette[entry],
                          entry < 16 ? screen::spectrum_palette[entry] : screen::Rgb{})
                    << entry;
        }
    }
}

TEST(ReadPcxPicture, ShiftsThePaletteToSixBits) {
    screen::Palette palette{};
    read(pcx_file({}, Bytes(8, 1)), palette);
    EXPECT_EQ(palette[0], (screen::Rgb{0, 0, 0}));
    EXPECT_EQ(palette[1], (screen::Rgb{1, 1, 1}));       // 4, 5, 6.
    EXPECT_EQ(palette[255], (screen::Rgb{63, 63, 63}));  // 252, 253, 254.
    EXPECT_EQ(palette[100], (screen::Rgb{36, 36, 36}));  // 144, 145, 146.
}

TEST(ReadPcxPicture, RefusesHeadersInTheOrderOfTheirFields) {
    using base::MSG_NOT_PCX, base::MSG_READ_DATA, base::MSG_PICTURE_TOO_LARGE;
    const Bytes data(8, 0);
    EXPECT_FAILURE(read(Bytes{}), MSG_READ_DATA);
    EXPECT_FAILURE(read(Bytes(127, 10)), MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.manufacturer = 11}, data)), MSG_NOT_PCX);
    EXPECT_FAILURE(read(pcx_file({.version = 3}, data)), MSG_NOT_PCX);
    EXPECT_FAILURE(read(pcx_file({.version = 4, .bits_per_pixel = 4}, data)), MSG_NOT_PCX);
    EXPECT_FAILURE(read(pcx_file({.bits_per_pixel = 4}, data)), MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.bits_per_pixel = 4, .planes = 3}, data)), MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.width = 257, .height = 1}, data)), MSG_PICTURE_TOO_LARGE);
    EXPECT_FAILURE(read(pcx_file({.width = 1, .height = 193}, data)), MSG_PICTURE_TOO_LARGE);
    EXPECT_FAILURE(read(pcx_file({.width = 300, .planes = 3}, data)), MSG_PICTURE_TOO_LARGE);
    EXPECT_FAILURE(read(pcx_file({.planes = 3}, data)), MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.planes = 0}, data)), MSG_READ_DATA);
    // The limits are on the size, not on the corners.
    EXPECT_EQ(read(pcx_file({.xmin = 1000, .ymin = 500}, data)).width, 4);
}

TEST(ReadPcxPicture, RefusesAMaximumBelowItsMinimum) {
    // Both below would multiply to a positive pixel count; either alone is refused.
    EXPECT_FAILURE(read(pcx_file({.width = -1, .height = -1, .xmin = 10, .ymin = 10}, Bytes(8))),
                   base::MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.width = -1, .height = 2, .xmin = 5}, Bytes(8))),
                   base::MSG_READ_DATA);
    EXPECT_FAILURE(read(pcx_file({.width = 2, .height = -3, .ymin = 5}, Bytes(8))),
                   base::MSG_READ_DATA);
    // xmin 65535, xmax 0: the fields are unsigned.
    EXPECT_FAILURE(read(pcx_file({.width = -65534, .xmin = 65535}, Bytes(8))), base::MSG_READ_DATA);
}

TEST(ReadPcxPicture, ZeroWidthOrHeightGivesAnEmptyPicture) {
    for (auto [width, height] : {std::pair{0, 2}, {3, 0}, {0, 0}}) {
        screen::Palette palette{};
        Header header{.width = width, .height = height, .xmin = 1, .ymin = 1};
        screen::Picture picture = read(pcx_file(header, {0xC5, 7}), palette);
        EXPECT_EQ(picture.width, width);
        EXPECT_EQ(picture.height, height);
        EXPECT_EQ(std::count(picture.pixels.begin(), picture.pixels.end(), 0), 64000);
        EXPECT_EQ(palette[2], (screen::Rgb{2, 2, 2}));
    }
}

TEST(ReadPcxPicture, NeedsDataTheMarkerAndThePalette) {
    using base::MSG_READ_DATA;
    Bytes file = pcx_file({.width = 1, .height = 1, .bytes_per_line = 2}, {7});
    ASSERT_EQ(file.size(), 898u);
    EXPECT_EQ(pixels_of(read(file)), Bytes{7});
    // 897 bytes: a header, the marker and the palette, but no data.
    EXPECT_FAILURE(read(pcx_file({}, {})), MSG_READ_DATA);
    Bytes no_marker = file;
    no_marker[129] = 0x0D;
    EXPECT_FAILURE(read(no_marker), MSG_READ_DATA);
    Bytes cut = file;
    cut.pop_back();  // The marker now falls on the data byte.
    EXPECT_FAILURE(read(cut), MSG_READ_DATA);
}

TEST(ReadPcxPicture, DecodesRunsAcrossRowsOfTheContinuousStream) {
    // Bytes per line below the width: the values are one stream, and a run may cross rows.
    Bytes data{0xC3, 9, 0xC0, 4, 0xC1, 0xC7, 0x2A, 0xC4, 1};
    screen::Picture picture = read(pcx_file({.width = 3, .height = 3, .bytes_per_line = 0}, data));
    EXPECT_EQ(pixels_of(picture), (Bytes{9, 9, 9, 0xC7, 0x2A, 1, 1, 1, 1}));
}

TEST(ReadPcxPicture, RawDataAreThePixels) {
    Bytes data{0xC3, 0xFF, 0x00, 0x12, 0xC0, 0x01, 0xEE, 0x7F};
    EXPECT_EQ(pixels_of(read(pcx_file({.encoding = 0}, data))), data);
    // Raw lines are padded like run-length ones.
    EXPECT_EQ(pixels_of(read(pcx_file({.width = 3, .bytes_per_line = 4, .encoding = 0}, data))),
              (Bytes{0xC3, 0xFF, 0x00, 0xC0, 0x01, 0xEE}));
}

TEST(ReadPcxPicture, KeepsTheWidthOfEveryPaddedLine) {
    // Three pixels a line, four bytes: the fourth is padding, dropped. A run may span the
    // padding into the next line.
    Bytes data{1, 2, 3, 0x55, 4, 5, 0xC3, 6, 7, 8, 9, 0xEE};
    screen::Picture picture = read(pcx_file({.width = 3, .height = 3, .bytes_per_line = 4}, data));
    EXPECT_EQ(pixels_of(picture), (Bytes{1, 2, 3, 4, 5, 6, 6, 7, 8}));
    // Equal width and bytes per line read as before.
    EXPECT_EQ(pixels_of(read(pcx_file({.width = 4, .height = 3, .bytes_per_line = 4}, data))),
              (Bytes{1, 2, 3, 0x55, 4, 5, 6, 6, 6, 7, 8, 9}));
}

TEST(ReadPcxPicture, MissingDataLeaveTheLastPixelsAtZero) {
    // The data end inside a run's count byte, then before the picture is complete.
    EXPECT_EQ(pixels_of(read(pcx_file({}, {3, 0xC2, 4, 0xC9}))), (Bytes{3, 4, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pixels_of(read(pcx_file({.bytes_per_line = 6}, {1, 2, 3}))),
              (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST(ReadPcxPicture, DataLargerThanAFrameAreDecodedWhole) {
    // Every pixel of a 256x192 picture of values from 0xC0 up takes two bytes: 98304 bytes.
    Bytes data;
    Bytes expected;
    for (int i = 0; i < 49152; ++i) {
        auto value = static_cast<std::uint8_t>(0xC0 + (i * 7) % 64);
        data.insert(data.end(), {0xC1, value});
        expected.push_back(value);
    }
    screen::Picture picture =
        read(pcx_file({.width = 256, .height = 192, .bytes_per_line = 256}, data));
    EXPECT_EQ(pixels_of(picture), expected);
    EXPECT_EQ(picture.pixels.size(), 64000u);

    // Lines of 65535 bytes, of which 2 are pixels: runs of padding are skipped, not stored.
    Bytes wide{1, 2};
    for (int i = 0; i < 1040; ++i)  // 65533 bytes of padding: 1040 runs of 63, one of 13.
        wide.insert(wide.end(), {0xFF, 0xEE});
    wide.insert(wide.end(), {0xCD, 0xEE, 3, 4});
    EXPECT_EQ(pixels_of(read(pcx_file({.width = 2, .height = 2, .bytes_per_line = 65535}, wide))),
              (Bytes{1, 2, 3, 4}));
}

TEST(DecodePcxPixels, ReadsNoFurtherThanThePictureNeeds) {
    // The source holds 20000 bytes of the 70000 it is said to hold: the picture is complete
    // within the first 16384, so the rest is never asked for.
    Bytes data(20000, 0x01);
    std::copy_n(Bytes{0xC4, 9, 0xC2, 8}.begin(), 4, data.begin());
    base::MemorySource source(data);
    Bytes pixels(6, 0);
    decode_pcx_pixels(source, 70000, {.width = 3, .height = 2, .bytes_per_line = 3}, pixels);
    EXPECT_EQ(pixels, (Bytes{9, 9, 9, 9, 8, 8}));

    // A picture that needs the missing bytes fails: the file is shorter than its size said.
    base::MemorySource short_source(data);
    Bytes more(256 * 192, 0);
    EXPECT_FAILURE(decode_pcx_pixels(short_source, 70000,
                                     {.width = 256, .height = 192, .bytes_per_line = 256}, more),
                   base::MSG_READ_DATA);
}

// Buffers and layouts larger than their buffer are refused on entry in every build.
TEST(EncodePcx, RefusesBuffersAndLayoutsOutOfRange) {
    EXPECT_FAILURE(encode_pcx(Bytes(100, 0)), base::MSG_INTERNAL);
    EXPECT_FAILURE(encode_pcx(Bytes(64000, 0)), base::MSG_INTERNAL);
    Bytes data(10, 0);
    base::MemorySource source(data);
    Bytes small(99);
    EXPECT_FAILURE(decode_pcx_pixels(source, 10, {10, 10, 10, true}, small), base::MSG_INTERNAL);
    EXPECT_FAILURE(decode_pcx_pixels(source, 10, {257, 1, 257, true}, small), base::MSG_INTERNAL);
}

}  // namespace
}  // namespace mirva::pictures
