#include "pictures/gif_reader.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

#include "base/buffered_source.h"
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

// Hands out a file's bytes from a buffer, so that a chain of sub-blocks costs one read call per
// buffer however short its blocks are. Every read is whole or a failure.
class BufferedInput {
public:
    explicit BufferedInput(base::ByteSource& source) : buffered_(source) {}

    std::uint8_t byte() { return some(1)[0]; }
    // Takes up to count bytes, at least one, as they stand in the buffer.
    std::span<const std::uint8_t> some(std::size_t count) {
        auto held = buffered_.peek();
        if (held.empty())
            base::error(base::MSG_READ_DATA);
        auto piece = held.first(std::min(count, held.size()));
        buffered_.consume(piece.size());
        return piece;
    }
    void read(std::span<std::uint8_t> out) {
        if (!buffered_.read_all(out))
            base::error(base::MSG_READ_DATA);
    }

private:
    base::BufferedSource buffered_;
};

// Hands the bytes of a chain of sub-blocks to take, a piece at a time as they stand in the
// buffer, up to and including the zero length byte that ends the chain.
template <typename Take>
void read_sub_blocks(BufferedInput& input, Take take) {
    for (std::size_t length = input.byte(); length != 0; length = input.byte()) {
        while (length > 0) {
            auto piece = input.some(length);
            take(piece);
            length -= piece.size();
        }
    }
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
    base::require(width >= 0 && height >= 0);
    base::require(source.size() / (width == 0 ? 1 : static_cast<std::size_t>(width)) >=
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

screen::Picture read_gif_picture(base::ByteSource& source, screen::Palette& picture_palette,
                                 screen::PictureLimit limit) {
    if (!source.size())
        base::error(base::MSG_READ_DATA);
    BufferedInput input(source);

    std::array<std::uint8_t, 13> header{};
    input.read(header);
    if (header[0] != 'G' || header[1] != 'I' || header[2] != 'F')
        base::error(base::MSG_NOT_GIF);

    // The global colour table is read whether or not the screen flags say it is present.
    const int colour_bits = (header[10] & TABLE_SIZE_BITS) + 1;
    const auto colours =
        static_cast<std::size_t>(power_of_two[static_cast<std::size_t>(colour_bits)]);
    std::array<std::uint8_t, std::size_t{3} * 256> table{};
    input.read(std::span(table).first(3 * colours));
    load_file_colours(std::span(table).first(3 * colours), picture_palette);

    // Every extension before the image descriptor is skipped, whatever its label; any other
    // byte where the descriptor belongs refuses the picture.
    std::uint8_t separator = input.byte();
    while (separator == EXTENSION_INTRODUCER) {
        (void)input.byte();  // The label.
        read_sub_blocks(input, [](std::span<const std::uint8_t>) {});
        separator = input.byte();
    }

    std::array<std::uint8_t, 10> descriptor{};
    input.read(descriptor);
    if (separator != IMAGE_SEPARATOR)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    screen::Picture picture;
    picture.width = base::little_endian_16(descriptor, 4);
    if (picture.width > limit.width)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    picture.height = base::little_endian_16(descriptor, 6);
    if (!screen::within_limit(static_cast<std::uint64_t>(picture.width),
                              static_cast<std::uint64_t>(picture.height), limit))
        base::error(base::MSG_PICTURE_TOO_LARGE);
    const std::uint8_t image_flags = descriptor[8];
    if (image_flags & LOCAL_TABLE_FLAG)
        base::error(base::MSG_UNSUPPORTED_FEATURE);
    const int root_bits = gif_root_bits(colour_bits, descriptor[9]);

    // The data sub-blocks, joined without their length bytes, are one code stream, decoded as
    // it arrives. Once decoding has ended, the rest of the chain is read up to its zero length
    // byte without being kept: a file cut before it is short.
    // A picture larger than a frame, taken only to be scaled down, gets a buffer of its size.
    const auto pixel_count =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    if (pixel_count > picture.pixels.size())
        picture.pixels.resize(pixel_count);
    LzwTable lzw_table;
    LzwDecoder decoder(lzw_table, root_bits, picture.pixels);
    bool decoding = true;
    read_sub_blocks(input, [&](std::span<const std::uint8_t> piece) {
        if (decoding)
            decoding = decoder.decode(piece);
    });
    const std::size_t out = decoder.written();
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
