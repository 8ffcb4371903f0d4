#include "pictures/png_writer.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <span>
#include <string_view>

#include "base/failure.h"
#include "pictures/file_palette.h"
#include "pictures/png_deflate.h"
#include "screen/render.h"
#include "screen/written_rows.h"

namespace mirva::pictures {

namespace {

inline constexpr std::array<std::uint8_t, 8> PNG_SIGNATURE{0x89, 'P',  'N',  'G',
                                                           0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr std::uint8_t COLOUR_TYPE = 3;  // Palette indices.
// The filter byte that starts every row: a row as it is, or the difference from the row above.
inline constexpr std::uint8_t FILTER_NONE = 0;
inline constexpr std::uint8_t FILTER_UP = 2;
// Each flash phase is shown for 32/100 of a second: the Spectrum swaps them every 16 frames of
// 50 Hz.
inline constexpr std::uint16_t FLASH_DELAY_NUMERATOR = 32;
inline constexpr std::uint16_t FLASH_DELAY_DENOMINATOR = 100;

void append_u32(std::vector<std::uint8_t>& file, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(value >> shift));
}

void append_u16(std::vector<std::uint8_t>& file, std::uint16_t value) {
    file.push_back(static_cast<std::uint8_t>(value >> 8));
    file.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Starts a chunk of the type; returns where its length goes, for finish_chunk.
std::size_t start_chunk(std::vector<std::uint8_t>& file, std::string_view type) {
    const std::size_t start = file.size();
    append_u32(file, 0);  // The length, set when the chunk is finished.
    file.insert(file.end(), type.begin(), type.end());
    return start;
}

// Sets the length of the chunk started at start and appends the CRC of its type and data.
void finish_chunk(std::vector<std::uint8_t>& file, std::size_t start) {
    const std::size_t length = file.size() - start - 8;
    base::require(length <= std::numeric_limits<std::int32_t>::max());
    for (std::size_t k = 0; k < 4; ++k)
        file[start + k] = static_cast<std::uint8_t>(length >> (24 - 8 * k));
    const auto typed = std::span(file).subspan(start + 4);
    append_u32(file, libdeflate_crc32(0, typed.data(), typed.size()));
}

// Packs a row of pixels depth bits each, behind the filter byte None.
void pack_row(std::span<const std::uint8_t> row, int depth, std::vector<std::uint8_t>& packed) {
    // The pixels go through a span of their own: a store through the vector could change the
    // vector's own pointer as far as the compiler knows, and it would reload it every byte.
    const std::span<std::uint8_t> out = std::span(packed).subspan(1);
    packed[0] = FILTER_NONE;
    if (depth == 4) {
        for (std::size_t x = 0; x < out.size(); ++x)
            out[x] = static_cast<std::uint8_t>((row[2 * x] << 4) | row[2 * x + 1]);
        return;
    }
    const auto per_byte = static_cast<std::size_t>(8 / depth);
    for (std::size_t x = 0; x < out.size(); ++x) {
        unsigned byte = 0;
        for (std::size_t k = 0; k < per_byte; ++k)
            byte = (byte << depth) | row[x * per_byte + k];
        out[x] = static_cast<std::uint8_t>(byte);
    }
}

// One frame control chunk: the whole picture for 0.32 s, left in place, drawn over the last.
void append_frame_control(std::vector<std::uint8_t>& file, std::uint32_t sequence,
                          screen::PictureSize size) {
    const std::size_t chunk = start_chunk(file, "fcTL");
    append_u32(file, sequence);
    append_u32(file, static_cast<std::uint32_t>(size.width));
    append_u32(file, static_cast<std::uint32_t>(size.height));
    append_u32(file, 0);  // x and y offsets.
    append_u32(file, 0);
    append_u16(file, FLASH_DELAY_NUMERATOR);
    append_u16(file, FLASH_DELAY_DENOMINATOR);
    file.push_back(0);  // Dispose: none.
    file.push_back(0);  // Blend: source.
    finish_chunk(file, chunk);
}

// The highest palette index the written picture holds: the colours of the cells (the ink only
// where a bitmap bit is set and the paper where one is clear, both in a cell that flashes in an
// animation) and the border's. The palette stops there and the pixels take the fewest bits that
// hold it, which keeps a picture of few colours as small as it can be.
std::uint8_t highest_index(const screen::ScreenImage& screen, std::uint8_t border_colour,
                           const screen::Options& options, bool animated) {
    unsigned highest = options.border ? border_colour & 0x07u : 0u;
    for (std::size_t cell = 0; cell < screen::ATTRIBUTE_BYTES; ++cell) {
        const std::uint8_t attribute = screen[screen::BITMAP_BYTES + cell];  // F B PPP III.
        const unsigned bright = options.bw || (attribute & 0x40) ? 8 : 0;
        unsigned ink = options.bw ? 7 : attribute & 0x07u;
        unsigned paper = options.bw ? 0 : (attribute >> 3) & 0x07u;
        bool any_set = false;
        bool any_clear = false;
        const int row = static_cast<int>(cell / 32) * 8;
        for (int line = 0; line < 8; ++line) {
            const std::uint8_t bits = screen[screen::bitmap_row_offset(row + line) + cell % 32];
            any_set |= bits != 0;
            any_clear |= bits != 0xFF;
        }
        if (animated && (attribute & 0x80))
            any_set = any_clear = true;
        if (any_set)
            highest = std::max(highest, ink + bright);
        if (any_clear)
            highest = std::max(highest, paper + bright);
    }
    return static_cast<std::uint8_t>(highest);
}

// The bits a pixel takes for palette indices up to highest: 1, 2 or 4.
int bit_depth_for(std::uint8_t highest) {
    return highest < 2 ? 1 : highest < 4 ? 2 : 4;
}

// Frees a compressor of libdeflate.
struct FreeCompressor {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

// A compressor made for the first picture of a file and kept for its second frame.
using Compressor = std::unique_ptr<libdeflate_compressor, FreeCompressor>;

// Appends the zlib stream of the rows that rows(y) gives, each packed depth bits a pixel (the
// leftmost pixel in the highest bits) behind its filter byte, to the file as the data of the
// chunk being written. A row the same as the one above (all but the first of each scaled row,
// and the rows of a border) is written as its difference from it, all zeros after the filter
// Up, unless it is zeros already, as a black row is: then the stream stays one run of zeros.
// From PNG_REPEATING_SCALE on, PngDeflate writes those repeats without searching them; below
// it, libdeflate compresses the whole stream.
template <typename Rows>
void append_image_data(std::vector<std::uint8_t>& file, const Rows& rows, screen::PictureSize size,
                       int scale, int depth, Compressor& compressor) {
    const auto per_byte = static_cast<std::size_t>(8 / depth);
    // Every width (256 or 320 times the scale) is a multiple of 8.
    const std::size_t line = 1 + static_cast<std::size_t>(size.width) / per_byte;
    if (scale >= PNG_REPEATING_SCALE) {
        // Most rows repeat the one above: only the first of each scaled row is searched.
        PngDeflate deflate(line, static_cast<std::size_t>(size.height));
        std::vector<std::uint8_t> current(line);
        std::vector<std::uint8_t> above(line);
        for (int y = 0; y < size.height; ++y) {
            if (y % scale == 0) {
                current.swap(above);
                pack_row(rows(y), depth, current);
                if (y == 0 || !std::equal(current.begin() + 1, current.end(), above.begin() + 1)) {
                    deflate.add_row(current);
                    continue;
                }
            }
            deflate.repeat_row();
        }
        deflate.finish(file);
        return;
    }
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(size.height) * line);
    std::vector<std::uint8_t> current(line);
    std::vector<std::uint8_t> above(line);
    bool zeros = false;
    for (int y = 0; y < size.height; ++y) {
        bool same = true;  // The rows of one scaled row are the same.
        if (y % scale == 0) {
            current.swap(above);
            pack_row(rows(y), depth, current);
            same = y > 0 && std::equal(current.begin() + 1, current.end(), above.begin() + 1);
            zeros = std::all_of(current.begin() + 1, current.end(),
                                [](std::uint8_t byte) { return byte == 0; });
        }
        auto out = raw.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * line);
        if (same && !zeros) {
            *out = FILTER_UP;
            std::fill_n(out + 1, line - 1, std::uint8_t{0});
        } else {
            std::copy(current.begin(), current.end(), out);
        }
    }

    // A plain screen compresses best for its time at a middle level; scaled rows and a border,
    // whose matches lie rows back, need the search of the highest levels.
    const bool plain = scale == 1 && size == screen::PictureSize{};
    if (compressor == nullptr)
        compressor.reset(libdeflate_alloc_compressor(plain ? PNG_COMPRESSION_LEVEL
                                                           : PNG_SCALED_COMPRESSION_LEVEL));
    if (compressor == nullptr)
        base::error(base::MSG_NO_MEMORY);
    const std::size_t start = file.size();
    file.resize(start + libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
    const std::size_t written = libdeflate_zlib_compress(compressor.get(), raw.data(), raw.size(),
                                                         file.data() + start, file.size() - start);
    // The bound promises room for any input; anything else is our bug.
    base::require(written != 0);
    file.resize(start + written);
}

template <typename Rows>
void append_idat(std::vector<std::uint8_t>& file, const Rows& rows, screen::PictureSize size,
                 int scale, int depth, Compressor& compressor) {
    const std::size_t chunk = start_chunk(file, "IDAT");
    append_image_data(file, rows, size, scale, depth, compressor);
    finish_chunk(file, chunk);
}

}  // namespace

std::vector<std::uint8_t> write_png_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size) {
    base::require(size == screen::written_size(options));
    const bool animated = options.flash && screen::has_visible_flash(screen, options);
    const std::uint8_t highest = highest_index(screen, border_colour, options, animated);
    const int depth = bit_depth_for(highest);
    const int scale = options.scale;
    std::vector<std::uint8_t> file(PNG_SIGNATURE.begin(), PNG_SIGNATURE.end());

    std::size_t chunk = start_chunk(file, "IHDR");
    append_u32(file, static_cast<std::uint32_t>(size.width));
    append_u32(file, static_cast<std::uint32_t>(size.height));
    file.insert(file.end(), {static_cast<std::uint8_t>(depth), COLOUR_TYPE, 0, 0,
                             0});  // Deflate, adaptive filters, no interlace.
    finish_chunk(file, chunk);

    // The Spectrum colours up to the highest index used.
    chunk = start_chunk(file, "PLTE");
    constexpr auto colours = spectrum_colour_bytes();
    const auto used_colours = std::span(colours).first(std::size_t{3} * (highest + 1u));
    file.insert(file.end(), used_colours.begin(), used_colours.end());
    finish_chunk(file, chunk);

    Compressor compressor;
    if (!animated) {
        if (scale == 1 && !options.border)
            append_idat(file, screen::RenderedRows{screen, options.bw, options.inverse}, size,
                        scale, depth, compressor);
        else
            append_idat(file, screen::WrittenRows(screen, border_colour, options, false), size,
                        scale, depth, compressor);
    } else {
        // Two frames shown for ever; the default image, phase 0, is the first of them.
        chunk = start_chunk(file, "acTL");
        append_u32(file, 2);  // Frames.
        append_u32(file, 0);  // Plays: for ever.
        finish_chunk(file, chunk);
        append_frame_control(file, 0, size);
        append_idat(file, screen::WrittenRows(screen, border_colour, options, false), size, scale,
                    depth, compressor);
        append_frame_control(file, 1, size);
        chunk = start_chunk(file, "fdAT");
        append_u32(file, 2);  // The sequence number, then the data as in IDAT.
        append_image_data(file, screen::WrittenRows(screen, border_colour, options, true), size,
                          scale, depth, compressor);
        finish_chunk(file, chunk);
    }

    chunk = start_chunk(file, "IEND");
    finish_chunk(file, chunk);
    return file;
}

}  // namespace mirva::pictures
