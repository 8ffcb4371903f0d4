#include "pictures/gif_reader.h"

#include <malloc.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "pictures/gif_writer.h"
#include "screen/render.h"
#include "support/expect_failure.h"
#include "support/gif_bytes.h"
#include "support/test_card.h"

namespace mirva::pictures {
namespace {

using testing::gif_bytes;
using testing::GifParts;

// A picture of width x height whose pixel i is i mod colours.
std::vector<std::uint8_t> counting_pixels(int width, int height, int colours) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(i % static_cast<std::size_t>(colours));
    return pixels;
}

GifParts picture_parts(int width, int height, int table_bits) {
    GifParts parts;
    parts.screen_flags = static_cast<std::uint8_t>(0x80 | (table_bits - 1));
    parts.colour_table = testing::test_colour_table(table_bits);
    parts.width = width;
    parts.height = height;
    int root_bits = std::max(table_bits, 2);
    parts.minimum_code_size = static_cast<std::uint8_t>(root_bits);
    parts.codes =
        testing::plain_lzw_codes(counting_pixels(width, height, 1 << table_bits), root_bits);
    return parts;
}

screen::Picture read(const std::vector<std::uint8_t>& file) {
    screen::Palette palette{};
    base::MemorySource source(file);
    return read_gif_picture(source, palette);
}

std::vector<std::uint8_t> pixels_of(const screen::Picture& picture) {
    return {picture.pixels.begin(), picture.pixels.begin() + picture.width * picture.height};
}

TEST(ReadGifPicture, ReadsPixelsAndSizeOfAnyVersion) {
    for (std::string version : {"87a", "89a", "xyz"}) {
        GifParts parts = picture_parts(13, 7, 3);
        parts.version = version;
        auto picture = read(gif_bytes(parts));
        EXPECT_EQ(picture.width, 13);
        EXPECT_EQ(picture.height, 7);
        EXPECT_EQ(pixels_of(picture), counting_pixels(13, 7, 8));
        EXPECT_EQ(picture.pixels.size(), 64000u);
    }
}

TEST(ReadGifPicture, RefusesWrongSignatureAndShortFiles) {
    auto file = gif_bytes(picture_parts(4, 4, 1));
    auto wrong = file;
    wrong[2] = 'X';
    EXPECT_FAILURE(read(wrong), base::MSG_NOT_GIF);
    EXPECT_FAILURE(read({}), base::MSG_READ_DATA);
    EXPECT_FAILURE(read({'G', 'I', 'F'}), base::MSG_READ_DATA);
    // Cut anywhere before the data's zero length byte, the file is short.
    for (std::size_t length : {13ul, 18ul, 19ul, 25ul, 30ul, file.size() - 2})
        EXPECT_FAILURE(read({file.begin(), file.begin() + static_cast<long>(length)}),
                       base::MSG_READ_DATA);
    // Nothing after the zero length byte is read.
    EXPECT_EQ(pixels_of(read({file.begin(), file.end() - 1})), counting_pixels(4, 4, 2));
}

TEST(ReadGifPicture, FillsPaletteEntriesOfTheTableAndKeepsTheOthers) {
    GifParts parts = picture_parts(2, 2, 4);
    parts.screen_flags = 0x03;  // Table-present bit clear: the 16 entries are read all the same.
    parts.colour_table[0] = 255;
    parts.colour_table[1] = 3;
    parts.colour_table[2] = 4;
    auto file = gif_bytes(parts);
    screen::Palette palette{};
    palette[16] = {1, 2, 3};
    palette[255] = {4, 5, 6};
    base::MemorySource source(file);
    (void)read_gif_picture(source, palette);
    EXPECT_EQ(palette[0], (screen::Rgb{63, 0, 1}));
    EXPECT_EQ(palette[15], (screen::Rgb{3, 60, 26}));  // (15, 240, 105) shifted right by 2.
    EXPECT_EQ(palette[16], (screen::Rgb{1, 2, 3}));
    EXPECT_EQ(palette[255], (screen::Rgb{4, 5, 6}));
}

TEST(ReadGifPicture, AcceptsUpTo256By192AndEmptyPictures) {
    auto largest = read(gif_bytes(picture_parts(256, 192, 8)));
    EXPECT_EQ(pixels_of(largest), counting_pixels(256, 192, 256));
    EXPECT_FAILURE(read(gif_bytes(picture_parts(257, 1, 1))), base::MSG_PICTURE_TOO_LARGE);
    EXPECT_FAILURE(read(gif_bytes(picture_parts(1, 193, 1))), base::MSG_PICTURE_TOO_LARGE);
    GifParts huge = picture_parts(1, 1, 1);
    huge.width = 65535;
    EXPECT_FAILURE(read(gif_bytes(huge)), base::MSG_PICTURE_TOO_LARGE);
    auto empty = read(gif_bytes(picture_parts(0, 0, 1)));
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
}

TEST(ReadGifPicture, SkipsEveryExtensionBeforeTheImage) {
    GifParts parts = picture_parts(5, 3, 2);
    // A comment of several sub-blocks, an application block and one of no sub-blocks at all,
    // whatever their labels.
    std::vector<std::uint8_t> comment{0x21, 0xFE, 3, 'a', 'b', 'c', 255};
    comment.resize(comment.size() + 255, 'x');
    comment.push_back(0);
    const std::vector<std::uint8_t> application{0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                                'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
    const std::vector<std::uint8_t> empty{0x21, 0x01, 0};
    const std::vector<std::vector<std::vector<std::uint8_t>>> chains{
        {testing::graphic_control_extension()},
        {comment},
        {testing::graphic_control_extension(), comment},
        {application, testing::graphic_control_extension(), comment},
        {empty, empty, empty, empty, empty, application, comment, comment},
    };
    for (const auto& chain : chains) {
        parts.extensions = chain;
        EXPECT_EQ(pixels_of(read(gif_bytes(parts))), counting_pixels(5, 3, 4)) << chain.size();
    }
    // Anything else where the image descriptor belongs, after extensions or not.
    for (std::uint8_t wrong : {0x3B, 0x00, 0x2B, 0x22}) {
        parts.extensions = {{wrong}};
        EXPECT_FAILURE(read(gif_bytes(parts)), base::MSG_PICTURE_TOO_LARGE);
        parts.extensions = {application, comment, {wrong}};
        EXPECT_FAILURE(read(gif_bytes(parts)), base::MSG_PICTURE_TOO_LARGE);
    }
    // An extension cut short is a short file.
    parts.extensions = {{0x21, 0xFE, 5, 'a'}};
    auto file = gif_bytes(parts);
    file.resize(13 + 3 * 4 + 4);
    EXPECT_FAILURE(read(file), base::MSG_READ_DATA);
}

TEST(ReadGifPicture, RefusesALocalColourTable) {
    GifParts parts = picture_parts(4, 4, 1);
    parts.image_flags = 0x80;
    EXPECT_FAILURE(read(gif_bytes(parts)), base::MSG_UNSUPPORTED_FEATURE);
}

TEST(ReadGifPicture, RootSizeComesFromTheMinimumCodeSize) {
    // Sixteen colours written with a minimum code size of 8, as some encoders do.
    GifParts parts = picture_parts(16, 9, 4);
    parts.minimum_code_size = 8;
    parts.codes = testing::plain_lzw_codes(counting_pixels(16, 9, 16), 8);
    EXPECT_EQ(pixels_of(read(gif_bytes(parts))), counting_pixels(16, 9, 16));
    // A two-colour table with a byte of 2 decodes with clear code 4.
    EXPECT_EQ(pixels_of(read(gif_bytes(picture_parts(9, 9, 1)))), counting_pixels(9, 9, 2));
}

TEST(GifRootBits, FallsBackToTheColourTableOutsideTwoToEight) {
    EXPECT_EQ(gif_root_bits(4, 8), 8);
    EXPECT_EQ(gif_root_bits(4, 2), 2);
    EXPECT_EQ(gif_root_bits(1, 2), 2);
    EXPECT_EQ(gif_root_bits(8, 8), 8);
    EXPECT_EQ(gif_root_bits(4, 0), 4);
    EXPECT_EQ(gif_root_bits(4, 1), 4);
    EXPECT_EQ(gif_root_bits(1, 1), 1);
    EXPECT_EQ(gif_root_bits(3, 9), 3);
    EXPECT_EQ(gif_root_bits(8, 255), 8);
}

TEST(ReadGifPicture, ShortStreamFillsWithTheFirstByteOfTheLastString) {
    GifParts parts = picture_parts(4, 2, 2);
    testing::CodeWriter codes;
    codes.put(4, 3);
    codes.put(3, 3);
    codes.put(1, 3);  // Adds {3, 1} at 6.
    codes.put(6, 3);  // The string 3 1: its first byte, 3, fills the rest.
    codes.put(5, 4);  // End (next reached 8: 4-bit codes).
    parts.codes = codes.bytes;
    EXPECT_EQ(pixels_of(read(gif_bytes(parts))),
              (std::vector<std::uint8_t>{3, 1, 3, 1, 3, 3, 3, 3}));
    // No data at all: the picture is 0 throughout.
    parts.codes = {};
    EXPECT_EQ(pixels_of(read(gif_bytes(parts))), std::vector<std::uint8_t>(8, 0));
}

TEST(ReadGifPicture, TakesInterlacedRowsInPassOrder) {
    // Row r of the stream holds the value r; an interlaced 8-row image sends rows 0 4 2 6 1 3 5 7.
    for (int height : {1, 2, 5, 8, 13, 192}) {
        std::vector<std::uint8_t> stream;
        std::vector<int> order;
        constexpr std::array<std::pair<int, int>, 4> passes{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
        for (auto [start, step] : passes)
            for (int row = start; row < height; row += step)
                order.push_back(row);
        ASSERT_EQ(order.size(), static_cast<std::size_t>(height));
        for (int row : order)
            stream.insert(stream.end(), 3, static_cast<std::uint8_t>(row));
        GifParts parts = picture_parts(3, height, 8);
        parts.image_flags = 0x40;
        parts.codes = testing::plain_lzw_codes(stream, 8);
        auto picture = read(gif_bytes(parts));
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(picture.pixels[static_cast<std::size_t>(row * 3 + x)], row);
    }
}

TEST(ReadGifPicture, ReadsBackWhatTheWriterWrote) {
    for (auto screen : {testing::make_test_card(), testing::make_random_screen(7)}) {
        auto file = write_gif_screen(screen, 0, {}, {});
        screen::Palette palette{};
        base::MemorySource source(file);
        auto picture = read_gif_picture(source, palette);
        auto rendered = screen::render_screen(screen, false, false, false);
        EXPECT_EQ(picture.width, 256);
        EXPECT_EQ(picture.height, 192);
        EXPECT_EQ(pixels_of(picture), pixels_of(rendered));
        for (std::size_t i = 0; i < 16; ++i)
            EXPECT_EQ(palette[i], screen::spectrum_palette[i]);
    }
}

// A 256x192 file whose code stream goes on for chain_bytes bytes in sub-blocks of block_length,
// made as it is read: every byte is 0x80, which with a minimum code size of 7 is the clear code
// over and over. Counts the read calls and the most heap in use when any of them is made.
class GeneratedGif final : public base::ByteSource {
public:
    GeneratedGif(std::uint64_t chain_bytes, std::size_t block_length)
        : block_length_(block_length), chain_bytes_(chain_bytes) {
        GifParts parts = picture_parts(256, 192, 1);
        parts.minimum_code_size = 7;
        parts.codes = {};
        start_ = gif_bytes(parts);
        start_.resize(start_.size() - 2);  // Without the zero length byte and the trailer.
    }
    std::size_t read(std::span<std::uint8_t> out) override {
        ++reads;
        const struct mallinfo2 heap = mallinfo2();
        peak_heap = std::max(peak_heap, heap.uordblks + heap.hblkhd);
        std::size_t count = 0;
        for (; count < out.size() && position_ < total(); ++count, ++position_)
            out[count] = byte_at(position_);
        return count;
    }
    bool seek(std::uint64_t offset) override {
        position_ = offset;
        return true;
    }
    bool skip(std::uint64_t count) override { return seek(position_ + count); }
    std::optional<std::uint64_t> size() override { return total(); }

    std::size_t reads = 0;
    std::size_t peak_heap = 0;

private:
    std::uint64_t total() const { return start_.size() + chain_bytes_ + 2; }
    std::uint8_t byte_at(std::uint64_t at) const {
        if (at < start_.size())
            return start_[at];
        at -= start_.size();
        if (at >= chain_bytes_)
            return at == chain_bytes_ ? 0x00 : 0x3B;
        return at % (block_length_ + 1) == 0 ? static_cast<std::uint8_t>(block_length_) : 0x80;
    }

    std::vector<std::uint8_t> start_;
    std::size_t block_length_;
    std::uint64_t chain_bytes_;
    std::uint64_t position_ = 0;
};

// However long the chain and however short its sub-blocks, the file is read through a buffer
// and the stream decoded as it arrives, never held whole.
TEST(ReadGifPicture, ReadsLongChainsInFewCallsAndLittleMemory) {
    for (auto [chain_bytes, block_length] : {std::pair{std::uint64_t{4} << 20, std::size_t{1}},
                                             {std::uint64_t{24} << 20, std::size_t{255}}}) {
        const std::uint64_t blocks = chain_bytes / (block_length + 1);
        GeneratedGif source(blocks * (block_length + 1), block_length);
        screen::Palette palette{};
        auto picture = read_gif_picture(source, palette);
        EXPECT_EQ(pixels_of(picture), std::vector<std::uint8_t>(49152, 0));
        EXPECT_LE(source.reads, chain_bytes / 8192) << block_length;
        EXPECT_LE(source.peak_heap, std::size_t{1} << 20) << block_length;
    }
}

TEST(DeinterlacePicture, RefusesBuffersAndSizesOutOfRange) {
    std::vector<std::uint8_t> frame(64000);
    EXPECT_FAILURE(deinterlace_picture(std::span(frame).first(63), 8, 8), base::MSG_INTERNAL);
    for (auto [width, height] : {std::pair{256, 251}, {1, 64001}, {-1, 1}, {1, -1}})
        EXPECT_FAILURE(deinterlace_picture(frame, width, height), base::MSG_INTERNAL);
    EXPECT_EQ(deinterlace_picture(frame, 320, 200).size(), frame.size());
}

}  // namespace
}  // namespace mirva::pictures
