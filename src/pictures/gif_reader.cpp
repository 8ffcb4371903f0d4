#include "pictures/gif_reader.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <limits>

#include "base/failure.h"
#include "pictures/file_palette.h"
#include "pictures/lzw.h"

namespace mirva::pictures {

namespace {

inline constexpr std::uint8_t EXTENSION_INTRODUCER = 0x21;  // '!'
inline constexpr std::uint8_t IMAGE_SEPARATOR = 0x2C;       // ','
inline constexpr std::uint8_t LOCAL_TABLE_FLAG = 0x80;      // Image flags: L I S 00 PPP.
inline constexpr std::uint8_t INTERLACE_FLAG = 0x40;
inline constexpr std::uint8_t TABLE_SIZE_BITS = 0x07;  // Screen flags: G CCC S TTT, table size.

// Image data beyond this is not set aside in advance: a 256x192 picture in 12-bit codes, one
// pixel each, takes about 74 KB; a stream that is longer still grows its buffer as it is read.
inline constexpr std::size_t MAX_DATA_RESERVE = std::size_t{1} << 20;

// Every read of a picture file is whole or a failure.
void read_exact(base::ByteSource& source, std::span<std::uint8_t> out) {
    if (!source.read_all(out))
        base::error(base::MSG_READ_DATA);
}

std::uint8_t read_byte(base::ByteSource& source) {
    std::array<std::uint8_t, 1> byte{};
    read_exact(source, byte);
    return byte[0];
}

int little_endian_16(std::span<const std::uint8_t, 2> bytes) {
    return bytes[0] | (bytes[1] << 8);
}

}  // namespace

int gif_root_bits(int colour_bits, std::uint8_t minimum_code_size) {
    assert(colour_bits >= 1 && colour_bits <= 8);
    // The minimum code size byte holds the root size; encoders may make it larger than the
    // colour table needs (some write 8 for every table). Outside 2..8 it cannot be right, and
    // the colour table's size stands in for it.
    if (minimum_code_size >= 2 && minimum_code_size <= 8)
        return minimum_code_size;
    return colour_bits;
}

std::vector<std::uint8_t> deinterlace_picture(std::span<const std::uint8_t> source, int width,
                                              int height) {
    assert(width >= 0 && height >= 0);
    assert(source.size() / (width == 0 ? 1 : static_cast<std::size_t>(width)) >=
           static_cast<std::size_t>(height));
    std::vector<std::uint8_t> picture(source.size());
    const auto row_width = static_cast<std::size_t>(width);
    // The four passes of an interlaced image: every 8th row from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    constexpr std::array<std::array<int, 2>, 4> passes{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
    std::size_t from = 0;
    for (const auto& [start, step] : passes) {
        for (int row = start; row < height; row += step) {
            auto to = static_cast<std::size_t>(row) * row_width;
            std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(from), row_width,
                        picture.begin() + static_cast<std::ptrdiff_t>(to));
            from += row_width;
        }
    }
    return picture;
}

std::size_t gif_data_reserve(std::uint64_t file_size, std::uint64_t counted) {
    // The bytes the file holds beyond those counted, less the 25 bytes of signature, screen
    // descriptor, image descriptor and extension introducer that are never counted. A file too
    // short for that, or one whose size says more than any picture needs, sets aside nothing or
    // the bound.
    if (counted > file_size || file_size - counted <= 25)
        return 0;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(file_size - counted - 25, MAX_DATA_RESERVE));
}

screen::Picture read_gif_picture(base::ByteSource& source, screen::Palette& picture_palette,
                                 screen::PictureLimit limit) {
    auto size = source.size();
    if (!size)
        base::error(base::MSG_READ_DATA);
    // What the reader counts of the file as it goes; the rest is an upper bound of the data.
    std::uint64_t counted = 0;

    std::array<std::uint8_t, 13> header{};
    read_exact(source, header);
    if (header[0] != 'G' || header[1] != 'I' || header[2] != 'F')
        base::error(base::MSG_NOT_GIF);

    // The global colour table is read whether or not the screen flags say it is present.
    const int colour_bits = (header[10] & TABLE_SIZE_BITS) + 1;
    const auto colours =
        static_cast<std::size_t>(power_of_two[static_cast<std::size_t>(colour_bits)]);
    std::array<std::uint8_t, std::size_t{3} * 256> table{};
    read_exact(source, std::span(table).first(3 * colours));
    load_file_colours(std::span(table).first(3 * colours), picture_palette);
    counted += 3 * colours;

    // At most one extension is skipped, whatever its label; a second one stands where the image
    // descriptor must be, and the picture is refused.
    std::uint8_t separator = read_byte(source);
    if (separator == EXTENSION_INTRODUCER) {
        (void)read_byte(source);  // The label.
        ++counted;
        std::array<std::uint8_t, 255> scratch{};
        for (std::uint8_t length = read_byte(source); length != 0; length = read_byte(source)) {
            counted += 1 + length;
            read_exact(source, std::span(scratch).first(length));
        }
        ++counted;  // The zero length byte.
        separator = read_byte(source);
    }

    std::array<std::uint8_t, 10> descriptor{};
    read_exact(source, descriptor);
    if (separator != IMAGE_SEPARATOR)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    screen::Picture picture;
    picture.width = little_endian_16(std::span(descriptor).subspan<4, 2>());
    if (picture.width > limit.width)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    picture.height = little_endian_16(std::span(descriptor).subspan<6, 2>());
    if (!screen::within_limit(static_cast<std::uint64_t>(picture.width),
                              static_cast<std::uint64_t>(picture.height), limit))
        base::error(base::MSG_PICTURE_TOO_LARGE);
    const std::uint8_t image_flags = descriptor[8];
    if (image_flags & LOCAL_TABLE_FLAG)
        base::error(base::MSG_UNSUPPORTED_FEATURE);
    const int root_bits = gif_root_bits(colour_bits, descriptor[9]);

    // The data sub-blocks, joined without their length bytes, are one code stream.
    std::vector<std::uint8_t> codes;
    codes.reserve(gif_data_reserve(*size, counted));
    std::array<std::uint8_t, 255> block{};
    for (std::uint8_t length = read_byte(source); length != 0; length = read_byte(source)) {
        auto bytes = std::span(block).first(length);
        read_exact(source, bytes);
        codes.insert(codes.end(), bytes.begin(), bytes.end());
    }

    // A picture larger than a frame, taken only to be scaled down, gets a buffer of its size.
    const auto pixel_count =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    if (pixel_count > picture.pixels.size())
        picture.pixels.resize(pixel_count);
    LzwTable lzw_table;
    std::size_t out = decode_lzw(codes, root_bits, lzw_table, picture.pixels);
    // A stream that ends early leaves the rest of the picture in the first byte of the string
    // expanded last.
    if (out < pixel_count) {
        std::fill(picture.pixels.begin() + static_cast<std::ptrdiff_t>(out),
                  picture.pixels.begin() + static_cast<std::ptrdiff_t>(pixel_count),
                  lzw_table.string_stack[lzw_table.stack_start]);
    }
    if (image_flags & INTERLACE_FLAG)
        picture.pixels = deinterlace_picture(picture.pixels, picture.width, picture.height);
    return picture;
}

}  // namespace mirva::pictures
