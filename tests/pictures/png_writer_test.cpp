#include "pictures/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <string>

#include "pictures/file_palette.h"
#include "screen/written_rows.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t big_endian_32(const Bytes& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

struct Chunk {
    std::string type;
    Bytes data;
};

// The chunks of a file, each CRC checked.
std::vector<Chunk> chunks_of(const Bytes& file) {
    const Bytes signature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), signature);
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = big_endian_32(file, at);
        Chunk chunk{std::string(file.begin() + static_cast<long>(at + 4),
                                file.begin() + static_cast<long>(at + 8)),
                    Bytes(file.begin() + static_cast<long>(at + 8),
                          file.begin() + static_cast<long>(at + 8 + length))};
        const auto crc = crc32(0, file.data() + at + 4, length + 4);
        EXPECT_EQ(big_endian_32(file, at + 8 + length), crc) << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
        if (at == file.size()) {
            EXPECT_EQ(chunk.type, "IEND");
        }
    }
    return chunks;
}

// Inflates a zlib stream and undoes the filters None and Up (the only ones written) and the
// packing of depth bits a pixel; returns the pixels row by row.
Bytes decode_pixels(const Bytes& stream, int width, int height, int depth) {
    const std::size_t row_bytes = static_cast<std::size_t>(width * depth / 8);
    Bytes raw(static_cast<std::size_t>(height) * (1 + row_bytes) + 1);
    uLongf raw_size = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &raw_size, stream.data(), stream.size()), Z_OK);
    EXPECT_EQ(raw_size, raw.size() - 1);
    Bytes pixels;
    Bytes above(row_bytes, 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::uint8_t filter = raw[y * (1 + row_bytes)];
        EXPECT_TRUE(filter == 0 || filter == 2) << "row " << y;
        Bytes row(raw.begin() + static_cast<long>(y * (1 + row_bytes) + 1),
                  raw.begin() + static_cast<long>((y + 1) * (1 + row_bytes)));
        if (filter == 2)
            for (std::size_t x = 0; x < row_bytes; ++x)
                row[x] = static_cast<std::uint8_t>(row[x] + above[x]);
        above = row;
        for (int x = 0; x < width; ++x) {
            const int bit = x * depth;
            const int shift = 8 - depth - bit % 8;
            pixels.push_back(static_cast<std::uint8_t>(
                (row[static_cast<std::size_t>(bit / 8)] >> shift) & ((1 << depth) - 1)));
        }
    }
    return pixels;
}

Bytes written_pixels(const screen::ScreenImage& screen, std::uint8_t border,
                     const screen::Options& options, bool phase) {
    const screen::WrittenRows rows(screen, border, options, phase);
    Bytes pixels;
    for (int y = 0; y < rows.size().height; ++y) {
        auto row = rows(y);
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    return pixels;
}

// Every file decodes to the rows of the written picture, in a palette of the Spectrum colours
// up to the highest index used and the fewest bits a pixel that hold it; with --flash and a
// flashing cell, as an APNG whose default image is phase 0 and whose second frame is phase 1.
TEST(WritePngScreen, DecodesToTheWrittenRowsAndPhases) {
    screen::ScreenImage blue_ink{};  // Ink 1 on paper 0; only a few bits set.
    for (std::size_t i = 0; i < 768; ++i)
        blue_ink[screen::BITMAP_BYTES + i] = 0x01;
    blue_ink[100] = 0x18;
    screen::ScreenImage steady = testing::make_test_card();
    for (std::size_t i = 0; i < 768; ++i)
        steady[screen::BITMAP_BYTES + i] &= 0x7F;
    struct Case {
        std::string name;
        screen::ScreenImage screen;
        std::uint8_t border;
        screen::Options options;
        int depth;
        bool animated;
    };
    const std::vector<Case> cases{
        {"zero", {}, 0, {}, 1, false},
        {"zero border 3", {}, 3, {.border = true}, 2, false},
        {"blue ink", blue_ink, 0, {}, 1, false},
        {"blue ink bright border", blue_ink, 6, {.scale = 2, .border = true}, 4, false},
        {"card", testing::make_test_card(), 0, {}, 4, false},
        {"card flash", testing::make_test_card(), 0, {.flash = true}, 4, true},
        {"card all",
         testing::make_test_card(),
         2,
         {.bw = true, .inverse = true, .scale = 3, .border = true, .flash = true},
         4,
         true},
        {"steady flash", steady, 0, {.scale = 2, .flash = true}, 4, false},
        {"random", testing::make_random_screen(4), 0, {.scale = 5}, 4, false},
        {"zero border 3 scale 4", {}, 3, {.scale = 4, .border = true}, 2, false},
        {"blue ink scale 6", blue_ink, 0, {.scale = 6}, 1, false},
        {"card scale 8 all",
         testing::make_test_card(),
         5,
         {.inverse = true, .scale = 8, .border = true, .flash = true},
         4,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto size = screen::written_size(c.options);
        const Bytes file = write_png_screen(c.screen, c.border, c.options, size);
        std::map<std::string, std::vector<Bytes>> found;
        std::vector<std::string> order;
        for (auto& chunk : chunks_of(file)) {
            order.push_back(chunk.type);
            found[chunk.type].push_back(chunk.data);
        }
        const Bytes& header = found["IHDR"].at(0);
        EXPECT_EQ(big_endian_32(header, 0), static_cast<std::uint32_t>(size.width));
        EXPECT_EQ(big_endian_32(header, 4), static_cast<std::uint32_t>(size.height));
        EXPECT_EQ(Bytes(header.begin() + 8, header.end()),
                  (Bytes{static_cast<std::uint8_t>(c.depth), 3, 0, 0, 0}));
        const Bytes phase0 = written_pixels(c.screen, c.border, c.options, false);
        std::uint8_t highest = *std::max_element(phase0.begin(), phase0.end());
        if (c.animated) {
            const Bytes phase1 = written_pixels(c.screen, c.border, c.options, true);
            highest = std::max(highest, *std::max_element(phase1.begin(), phase1.end()));
        }
        const Bytes& palette = found["PLTE"].at(0);
        constexpr auto colours = spectrum_colour_bytes();
        EXPECT_EQ(palette, Bytes(colours.begin(), colours.begin() + 3 * (highest + 1)));
        EXPECT_EQ(decode_pixels(found["IDAT"].at(0), size.width, size.height, c.depth), phase0);
        if (!c.animated) {
            EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
            continue;
        }
        EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "PLTE", "acTL", "fcTL", "IDAT", "fcTL",
                                                   "fdAT", "IEND"}));
        EXPECT_EQ(found["acTL"].at(0), (Bytes{0, 0, 0, 2, 0, 0, 0, 0}));  // Two frames, for ever.
        for (std::uint32_t frame = 0; frame < 2; ++frame) {
            const Bytes& control = found["fcTL"].at(frame);
            ASSERT_EQ(control.size(), 26u);
            EXPECT_EQ(big_endian_32(control, 0), frame);  // Sequence numbers 0 and 1.
            EXPECT_EQ(big_endian_32(control, 4), static_cast<std::uint32_t>(size.width));
            EXPECT_EQ(big_endian_32(control, 8), static_cast<std::uint32_t>(size.height));
            EXPECT_EQ(Bytes(control.begin() + 12, control.end()),
                      (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 100, 0, 0}));
        }
        const Bytes& frame_data = found["fdAT"].at(0);
        EXPECT_EQ(big_endian_32(frame_data, 0), 2u);
        EXPECT_EQ(decode_pixels(Bytes(frame_data.begin() + 4, frame_data.end()), size.width,
                                size.height, c.depth),
                  written_pixels(c.screen, c.border, c.options, true));
    }
}

TEST(WritePngScreen, RefusesASizeOtherThanTheOptionsGive) {
    EXPECT_FAILURE(write_png_screen({}, 0, {.scale = 2}, {}), base::MSG_INTERNAL);
}

}  // namespace
}  // namespace mirva::pictures
