#include "pictures/pcx.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>

#include "base/failure.h"
#include "pictures/file_palette.h"
#include "screen/render.h"
#include "screen/written_rows.h"

namespace mirva::pictures {

namespace {

// Header fields, by offset. Numbers are little-endian.
inline constexpr std::size_t MANUFACTURER = 0;  // 10 for every PCX file.
inline constexpr std::size_t VERSION = 1;       // 5: the version with a 256-colour palette.
inline constexpr std::size_t ENCODING = 2;      // 0 raw, anything else run-length.
inline constexpr std::size_t BITS_PER_PIXEL = 3;
inline constexpr std::size_t X_MIN = 4;
inline constexpr std::size_t Y_MIN = 6;
inline constexpr std::size_t X_MAX = 8;
inline constexpr std::size_t Y_MAX = 10;
inline constexpr std::size_t COLOUR_PLANES = 65;
inline constexpr std::size_t BYTES_PER_LINE = 66;

inline constexpr std::uint8_t RUN_MARK = 0xC0;   // Count byte: 11cc cccc, 0..63 repeats.
inline constexpr std::uint8_t RUN_COUNT = 0x3F;  // Count byte, the count bits.
inline constexpr std::size_t LONGEST_RUN = 63;

using Header = std::array<std::uint8_t, PCX_HEADER_BYTES>;

int field_u16(const Header& header, std::size_t offset) {
    return base::little_endian_16(header, offset);
}

// Hands out the bytes of the pixel data a piece at a time, so that data of any length are
// decoded in a fixed amount of memory and only as far as the picture needs them.
class DataCursor {
public:
    DataCursor(base::ByteSource& source, std::uint64_t length) : source_(source), left_(length) {}

    // Takes the next byte; false at the end of the data.
    bool next(std::uint8_t& byte) {
        if (position_ == filled_ && !refill())
            return false;
        byte = buffer_[position_++];
        return true;
    }

private:
    bool refill() {
        if (left_ == 0)
            return false;
        auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left_, buffer_.size()));
        // The file's size promised these bytes; a file that shrank meanwhile is a short read.
        if (!source_.read_all(std::span(buffer_).first(count)))
            base::error(base::MSG_READ_DATA);
        left_ -= count;
        position_ = 0;
        filled_ = count;
        return true;
    }

    base::ByteSource& source_;
    std::uint64_t left_;
    std::array<std::uint8_t, 16384> buffer_{};
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
};

// Places decoded values at their pixels: whole lines of bytes_per_line values whose first
// width are kept, or one continuous stream.
class PixelPlacer {
public:
    PixelPlacer(const PcxLayout& layout, std::span<std::uint8_t> pixels)
        : width_(static_cast<std::uint64_t>(layout.width)),
          line_length_(layout.bytes_per_line),
          by_lines_(layout.bytes_per_line >= width_),
          pixels_(pixels) {
        auto height = static_cast<std::uint64_t>(layout.height);
        total_ = by_lines_ ? height * line_length_ : height * width_;
    }

    bool full() const { return placed_ >= total_; }

    // Places count copies of value; stops when the picture is complete.
    void place(std::uint8_t value, std::uint64_t count) {
        while (count > 0 && !full()) {
            std::uint64_t pixel = placed_;
            std::uint64_t span = total_ - placed_;
            bool kept = true;
            if (by_lines_) {
                std::uint64_t line = placed_ / line_length_;
                std::uint64_t column = placed_ % line_length_;
                kept = column < width_;
                pixel = line * width_ + column;
                span = kept ? width_ - column : line_length_ - column;
            }
            std::uint64_t taken = std::min(count, span);
            if (kept) {
                // pixel + taken <= width x height <= pixels.size(), checked by the caller.
                auto first = pixels_.begin() + static_cast<std::ptrdiff_t>(pixel);
                std::fill_n(first, static_cast<std::ptrdiff_t>(taken), value);
            }
            placed_ += taken;
            count -= taken;
        }
    }

private:
    std::uint64_t width_;
    std::uint64_t line_length_;
    bool by_lines_;
    std::span<std::uint8_t> pixels_;
    std::uint64_t total_ = 0;
    std::uint64_t placed_ = 0;
};

void append_spectrum_colours(std::vector<std::uint8_t>& file) {
    constexpr auto colours = spectrum_colour_bytes();
    file.insert(file.end(), colours.begin(), colours.end());
}

void append_u16(std::vector<std::uint8_t>& file, unsigned value) {
    file.push_back(static_cast<std::uint8_t>(value & 0xFF));
    file.push_back(static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

void decode_pcx_pixels(base::ByteSource& data, std::uint64_t data_length, const PcxLayout& layout,
                       std::span<std::uint8_t> pixels) {
    base::require(layout.width >= 0 && layout.height >= 0);
    base::require(screen::within_limit(static_cast<std::uint64_t>(layout.width),
                                       static_cast<std::uint64_t>(layout.height),
                                       screen::RESIZE_LIMIT));
    base::require(pixels.size() >=
                  static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height));
    if (layout.width == 0 || layout.height == 0)
        return;
    DataCursor cursor(data, data_length);
    PixelPlacer placer(layout, pixels);
    std::uint8_t byte = 0;
    while (!placer.full() && cursor.next(byte)) {
        if (!layout.run_length || (byte & RUN_MARK) != RUN_MARK) {
            placer.place(byte, 1);
            continue;
        }
        std::uint8_t value = 0;
        if (!cursor.next(value))
            break;  // A count byte at the very end of the data has no value to repeat.
        placer.place(value, byte & RUN_COUNT);  // A count of 0 places nothing.
    }
}

screen::Picture read_pcx_picture(base::ByteSource& source, screen::Palette& picture_palette,
                                 screen::PictureLimit limit) {
    auto file_size = source.size();
    if (!file_size)
        base::error(base::MSG_READ_DATA);
    Header header{};
    if (!source.read_all(header))
        base::error(base::MSG_READ_DATA);
    if (header[MANUFACTURER] != 10 || header[VERSION] != 5)
        base::error(base::MSG_NOT_PCX);
    if (header[BITS_PER_PIXEL] != 8)
        base::error(base::MSG_READ_DATA);
    const int width = field_u16(header, X_MAX) - field_u16(header, X_MIN) + 1;
    const int height = field_u16(header, Y_MAX) - field_u16(header, Y_MIN) + 1;
    if (width > limit.width || height > limit.height)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    // A maximum below its minimum gives no picture at all; such a header is refused. A size of
    // 0 is an empty picture.
    if (width < 0 || height < 0)
        base::error(base::MSG_READ_DATA);
    if (!screen::within_limit(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                              limit))
        base::error(base::MSG_PICTURE_TOO_LARGE);
    if (header[COLOUR_PLANES] != 1)
        base::error(base::MSG_READ_DATA);

    // The pixel data fill the file from the header to the palette marker and the 256 colours at
    // its end; at least one byte of data is required.
    if (*file_size <= PCX_HEADER_BYTES + PCX_PALETTE_BYTES)
        base::error(base::MSG_READ_DATA);
    const std::uint64_t data_length = *file_size - PCX_HEADER_BYTES - PCX_PALETTE_BYTES;
    std::array<std::uint8_t, PCX_PALETTE_BYTES> palette_bytes{};
    if (!source.seek(*file_size - PCX_PALETTE_BYTES) || !source.read_all(palette_bytes) ||
        palette_bytes[0] != PCX_PALETTE_MARKER)
        base::error(base::MSG_READ_DATA);
    load_file_colours(std::span(palette_bytes).subspan(1), picture_palette);

    screen::Picture picture;
    picture.width = width;
    picture.height = height;
    if (width == 0 || height == 0)
        return picture;
    // A picture larger than a frame, taken only to be scaled down, gets a buffer of its size.
    const auto pixel_count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixel_count > picture.pixels.size())
        picture.pixels.resize(pixel_count);
    if (!source.seek(PCX_HEADER_BYTES))
        base::error(base::MSG_READ_DATA);
    PcxLayout layout{width, height, static_cast<std::size_t>(field_u16(header, BYTES_PER_LINE)),
                     header[ENCODING] != 0};
    decode_pcx_pixels(source, data_length, layout, picture.pixels);
    return picture;
}

namespace {

// The first pixel from pixel on (up to end) that differs from value, skipping eight equal ones
// at a time.
const std::uint8_t* run_end(const std::uint8_t* pixel, const std::uint8_t* end,
                            std::uint8_t value) {
    const std::uint64_t pattern = value * std::uint64_t{0x0101010101010101};
    for (; end - pixel >= 8; pixel += 8) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, pixel, sizeof eight);
        if (const std::uint64_t differ = eight ^ pattern; differ != 0) {
            const int bits = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                        : std::countl_zero(differ);
            return pixel + bits / 8;
        }
    }
    while (pixel != end && *pixel == value)
        ++pixel;
    return pixel;
}

// Writes the run-length coding of the width pixels from row at out, at most two bytes a pixel;
// returns the end of what it wrote.
std::uint8_t* encode_row(const std::uint8_t* row, std::size_t width, std::uint8_t* out) {
    const std::uint8_t* const end = row + width;
    const std::uint8_t* pixel = row;
    while (pixel != end) {
        const std::uint8_t value = *pixel;
        const std::uint8_t* next = pixel + 1;
        if (next != end && *next == value)
            next = run_end(next + 1, end, value);
        auto run = static_cast<std::size_t>(next - pixel);
        for (; run > LONGEST_RUN; run -= LONGEST_RUN) {
            *out++ = RUN_MARK | LONGEST_RUN;
            *out++ = value;
        }
        if (run != 1 || value >= RUN_MARK)
            *out++ = static_cast<std::uint8_t>(RUN_MARK | run);
        *out++ = value;
        pixel = next;
    }
    return out;
}

// The eight pixels of a cell in its two colours, by the bits of its bitmap byte (bit 7 the
// leftmost pixel): how many pixels its first and its last run take, and for a byte of both
// colours the coding of the runs between those two (at most six pixels, so at most six bytes),
// with the count bytes in place and masks of the bytes that take the ink or the paper value.
struct CellRuns {
    std::uint64_t counts = 0;
    std::uint64_t ink = 0;
    std::uint64_t paper = 0;
    std::uint8_t first = 0;
    std::uint8_t last = 0;
    std::uint8_t middle_bytes = 0;
};

constexpr std::array<CellRuns, 256> cell_runs() {
    std::array<CellRuns, 256> table{};
    for (unsigned bits = 0; bits < 256; ++bits) {
        auto set = [bits](unsigned pixel) { return ((bits >> (7 - pixel)) & 1) != 0; };
        CellRuns& runs = table[bits];
        unsigned pixel = 0;
        unsigned byte = 0;
        while (pixel < 8) {
            unsigned length = 1;
            while (pixel + length < 8 && set(pixel + length) == set(pixel))
                ++length;
            if (pixel == 0) {
                runs.first = static_cast<std::uint8_t>(length);
            } else if (pixel + length == 8) {
                runs.last = static_cast<std::uint8_t>(length);
            } else {
                if (length > 1)
                    runs.counts |= std::uint64_t{RUN_MARK | length} << (8 * byte++);
                (set(pixel) ? runs.ink : runs.paper) |= std::uint64_t{0xFF} << (8 * byte++);
            }
            pixel += length;
        }
        runs.middle_bytes = static_cast<std::uint8_t>(byte);
    }
    return table;
}
inline constexpr std::array<CellRuns, 256> CELL_RUNS = cell_runs();

// Codes the rows of a screen straight from its bytes, a cell at a time: a run is carried from
// cell to cell while it goes on, and the runs inside a cell of both colours come from CELL_RUNS.
// The values are colour indices, all below 0xC0, so that a single pixel needs no count.
class ScreenRowCoder {
public:
    ScreenRowCoder(const screen::ScreenImage& screen, bool bw, bool inverse)
        : screen_(screen), bw_(bw), inverse_(inverse) {}

    std::uint8_t* operator()(int y, std::uint8_t* out) {
        screen::find_cell_colours(screen_, y, bw_, inverse_, false, colours_);
        const std::uint8_t* const bitmap = screen_.data() + screen::bitmap_row_offset(y);
        // The run under way: its value, and its length so far (which may pass 63). It starts as
        // the first pixel's, with no length.
        std::uint8_t value = first_pixel(screen::cell_pixels(colours_, 0, bitmap[0]));
        std::size_t length = 0;
        for (std::size_t column = 0; column < 32; ++column) {
            const std::uint8_t bits = bitmap[column];
            const std::uint64_t eight = screen::cell_pixels(colours_, column, bits);
            if (const std::uint8_t first = first_pixel(eight); first != value) {
                out = put_run(out, value, length);
                value = first;
                length = 0;
            }
            if (eight == std::rotr(eight, 8)) {
                length += 8;  // One run over the cell, which may go on into the next.
                continue;
            }
            const CellRuns& runs = CELL_RUNS[bits];
            out = put_run(out, value, length + runs.first);
            const std::uint64_t paper = colours_.paper[column];
            const std::uint64_t middle = runs.counts |
                                         (runs.ink & (paper ^ colours_.ink_flip[column])) |
                                         (runs.paper & paper);
            std::memcpy(out, &middle, sizeof middle);
            out += runs.middle_bytes;
            value = last_pixel(eight);
            length = runs.last;
        }
        return put_run(out, value, length);
    }

private:
    static std::uint8_t first_pixel(std::uint64_t eight) {
        return static_cast<std::uint8_t>(std::endian::native == std::endian::little ? eight
                                                                                    : eight >> 56);
    }
    static std::uint8_t last_pixel(std::uint64_t eight) {
        return static_cast<std::uint8_t>(std::endian::native == std::endian::little ? eight >> 56
                                                                                    : eight);
    }
    static std::uint8_t* put_run(std::uint8_t* out, std::uint8_t value, std::size_t length) {
        for (; length > LONGEST_RUN; length -= LONGEST_RUN) {
            *out++ = RUN_MARK | LONGEST_RUN;
            *out++ = value;
        }
        if (length > 1)
            *out++ = static_cast<std::uint8_t>(RUN_MARK | length);
        *out++ = value;
        return out;
    }

    const screen::ScreenImage& screen_;
    bool bw_;
    bool inverse_;
    screen::CellColours colours_;
};

// Writes the file of size.height rows of size.width pixels, one row at a time, so that a screen
// need not be rendered whole first: code_row(y, out) writes the coding of row y at out (at most
// two bytes a pixel, and it may store up to eight bytes past its end) and returns its end.
template <typename CodeRow>
std::vector<std::uint8_t> encode_file(screen::PictureSize size, CodeRow code_row) {
    const auto width = static_cast<std::size_t>(size.width);  // Even at every scale.
    std::vector<std::uint8_t> file;
    // The longest file: every pixel a count byte and a value. Room set aside is not touched
    // until it is written.
    file.reserve(PCX_HEADER_BYTES + 2 * width * static_cast<std::size_t>(size.height) + 8 +
                 PCX_PALETTE_BYTES);
    for (std::uint8_t byte : {10, 5, 1, 8})  // PCX, version 5, run-length, 8 bits.
        file.push_back(byte);
    append_u16(file, 0);                                       // xmin
    append_u16(file, 0);                                       // ymin
    append_u16(file, static_cast<unsigned>(size.width - 1));   // xmax
    append_u16(file, static_cast<unsigned>(size.height - 1));  // ymax
    append_u16(file, screen::SCREEN_WIDTH);                    // Horizontal resolution.
    append_u16(file, screen::SCREEN_HEIGHT);                   // Vertical resolution.
    append_spectrum_colours(file);                             // The 16-colour palette.
    file.push_back(0);                                         // Reserved.
    file.push_back(1);                                         // One colour plane.
    append_u16(file, static_cast<unsigned>(size.width));       // Bytes per line.
    append_u16(file, 1);                                       // Palette type: colour.
    file.resize(PCX_HEADER_BYTES, 0);

    // Runs of 1 to 63 pixels, never across the end of a line. A single pixel below 0xC0 stands
    // for itself; any other value needs a count byte. Each row is coded straight into room
    // added for its longest coding, which is then cut to what was written.
    for (int y = 0; y < size.height; ++y) {
        const std::size_t written = file.size();
        file.resize(written + 2 * width + 8);
        std::uint8_t* const first = file.data() + written;
        file.resize(written + static_cast<std::size_t>(code_row(y, first) - first));
    }

    // The 256-colour palette: the Spectrum colours, then black.
    file.push_back(PCX_PALETTE_MARKER);
    append_spectrum_colours(file);
    file.resize(file.size() + 3 * (256 - screen::spectrum_palette.size()), 0);
    return file;
}

// The file of the rows that rows(y) gives, each coded pixel by pixel.
template <typename Rows>
std::vector<std::uint8_t> encode_rows(const Rows& rows, screen::PictureSize size) {
    return encode_file(size, [&rows, size](int y, std::uint8_t* out) {
        return encode_row(rows(y).data(), static_cast<std::size_t>(size.width), out);
    });
}

}  // namespace

std::vector<std::uint8_t> encode_pcx(std::span<const std::uint8_t> pixels) {
    base::require(pixels.size() == screen::SCREEN_PIXELS);
    return encode_rows(screen::PixelRows{pixels}, {});
}

std::vector<std::uint8_t> write_pcx_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size) {
    // A PCX file holds one picture: the driver refuses --flash before this is reached.
    base::require(size == screen::written_size(options) && !options.flash);
    if (options.scale == 1 && !options.border)
        return encode_file(size, ScreenRowCoder(screen, options.bw, options.inverse));
    return encode_rows(screen::WrittenRows(screen, border_colour, options, false), size);
}

}  // namespace mirva::pictures
