#include "pictures/gif_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdlib>
#include <memory>

#include "base/failure.h"
#include "pictures/file_palette.h"
#include "pictures/lzw.h"
#include "screen/palette.h"
#include "screen/render.h"
#include "screen/written_rows.h"

namespace mirva::pictures {

namespace {

inline constexpr int ROOT_BITS = 4;  // Sixteen colours.
inline constexpr std::int32_t CLEAR_CODE = 16;
inline constexpr std::int32_t END_CODE = 17;
inline constexpr std::int32_t FIRST_FREE_CODE = 18;
inline constexpr int FIRST_CODE_BITS = 5;
inline constexpr std::size_t COLOURS = 16;
inline constexpr std::uint8_t GIF_TRAILER = 0x3B;  // ';'
static_assert(CLEAR_CODE == 1 << ROOT_BITS && FIRST_CODE_BITS == ROOT_BITS + 1);

inline constexpr std::uint8_t EXTENSION_INTRODUCER = 0x21;  // '!'
inline constexpr std::uint8_t GRAPHIC_CONTROL_LABEL = 0xF9;
inline constexpr std::uint8_t APPLICATION_LABEL = 0xFF;
/// Each flash phase is shown for 32 hundredths of a second: the Spectrum swaps them every 16
/// frames of 50 Hz.
inline constexpr unsigned FLASH_DELAY = 32;

// The bytes the longest code stream of a picture of pixel_count pixels takes in sub-blocks:
// every pixel written as a code of its own, the clear codes (one at the start and one per 4078
// entries added) and the end code, all in 12 bits; a length byte per 255 bytes and the zero
// length byte.
std::size_t max_stream_bytes(std::size_t pixel_count) {
    const std::size_t codes =
        pixel_count + 1 + pixel_count / (LZW_TABLE_ENTRIES - FIRST_FREE_CODE) + 1;
    const std::size_t bytes = (codes * MAX_CODE_BITS + 7) / 8;
    return bytes + bytes / 255 + 2;
}

void append_u16(std::vector<std::uint8_t>& file, int value) {
    file.push_back(static_cast<std::uint8_t>(value & 0xFF));
    file.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The signature, the screen descriptor and the global colour table; an animation is a GIF89a
// whose application extension makes it loop forever.
void append_header(std::vector<std::uint8_t>& file, screen::PictureSize size, bool animated) {
    for (char letter : {'G', 'I', 'F', '8', animated ? '9' : '7', 'a'})
        file.push_back(static_cast<std::uint8_t>(letter));
    append_u16(file, size.width);  // Logical screen width and height.
    append_u16(file, size.height);
    file.push_back(0xB3);  // Screen flags: G CCC S TTT = 1 011 0 011, a global table of 16.
    file.push_back(0x00);  // Background colour index.
    file.push_back(0x00);  // Pixel aspect ratio.
    constexpr auto colours = spectrum_colour_bytes();
    file.insert(file.end(), colours.begin(), colours.end());
    if (animated) {
        constexpr std::array<std::uint8_t, 19> looping{
            EXTENSION_INTRODUCER,
            APPLICATION_LABEL,
            11,
            'N',
            'E',
            'T',
            'S',
            'C',
            'A',
            'P',
            'E',
            '2',
            '.',
            '0',
            3,  // A sub-block of 3 bytes: 1, then the number of loops, 0 for ever.
            1,
            0x00,
            0x00,
            0x00,  // The zero length byte.
        };
        file.insert(file.end(), looping.begin(), looping.end());
    }
}

// The graphic control extension that shows the image after it for delay hundredths of a second
// and leaves it in place.
void append_frame_delay(std::vector<std::uint8_t>& file, unsigned delay) {
    file.insert(file.end(), {EXTENSION_INTRODUCER, GRAPHIC_CONTROL_LABEL, 4,
                             0x04});  // Flags: 000 DDD U T, disposal 1: left in place.
    append_u16(file, static_cast<int>(delay));
    file.insert(file.end(), {0x00, 0x00});  // No transparent colour; the zero length byte.
}

// The dictionary as a plain upward scan of the shared table.
struct ScanDictionary {
    LzwTable& table;

    std::int32_t find(std::int32_t prefix, std::uint8_t pixel, std::int32_t next) const {
        return find_entry(table, prefix, pixel, FIRST_FREE_CODE, next - 1);
    }
    void add(std::int32_t code, std::int32_t prefix, std::uint8_t pixel) {
        table.entries[static_cast<std::size_t>(code)] = {prefix, pixel};
    }
    // The entries stay; the scan never reaches codes from next up.
    void reset() {}
    const std::uint8_t* extend(std::int32_t& current, const std::uint8_t* pixel,
                               const std::uint8_t* end, std::int32_t next) const {
        for (; pixel != end; ++pixel) {
            std::int32_t found = find(current, *pixel, next);
            if (found == -1)
                break;
            current = found;
        }
        return pixel;
    }
};

// The dictionary as the code of each {prefix, pixel} pair, 0 for none (no added entry has a code
// below 18), kept as code x 16: the start of the code's own row, so that one addition gives the
// place of the next lookup. It holds exactly the entries added since the last reset, which are
// the ones the scan can find, and the scan never finds two for a pair, so both give the same code.
//
// Only the rows of strings the encoder can hold are ever read: the roots, and codes added since
// the last reset. A row is cleared when its code is added (before the code can become a prefix),
// and the root rows at each reset, so no reset clears the whole index and rows of codes never
// reached are never touched.
struct IndexDictionary {
    using Index = std::array<std::uint16_t, LZW_TABLE_ENTRIES * COLOURS>;
    // The encoder holds the dictionary by value and the index through a plain pointer, so that it
    // stays in a register while the stream's bytes are stored.
    std::uint16_t* codes;

    explicit IndexDictionary(Index& index) : codes(index.data()) { reset(); }

    static std::size_t slot(std::int32_t prefix, std::uint8_t pixel) {
        assert(prefix >= 0 && static_cast<std::size_t>(prefix) < LZW_TABLE_ENTRIES);
        assert(pixel < COLOURS);
        return static_cast<std::size_t>(prefix) * COLOURS + pixel;
    }
    // Follows the string current through the pixels while the index holds it extended by the
    // next one; returns the first pixel that does not extend it (end if none).
    //
    // In a run of one colour the string found is often the entry right after its prefix. That
    // case is tested first, against a value the processor knows before the lookup completes:
    // while it holds, each step goes on without waiting for the one before.
    const std::uint8_t* extend(std::int32_t& current, const std::uint8_t* pixel,
                               const std::uint8_t* end, [[maybe_unused]] std::int32_t next) const {
        assert(current != NO_PREFIX && current < next);
        std::uint32_t row = static_cast<std::uint32_t>(current) * COLOURS;
        for (; pixel != end; ++pixel) {
            assert(*pixel < COLOURS);
            const std::uint16_t found = codes[row + *pixel];
            if (found == row + COLOURS) {
                row += COLOURS;
                continue;
            }
            if (found == 0)
                break;
            row = found;
        }
        current = static_cast<std::int32_t>(row / COLOURS);
        return pixel;
    }
    void add(std::int32_t code, std::int32_t prefix, std::uint8_t pixel) {
        assert(code >= FIRST_FREE_CODE && static_cast<std::size_t>(code) < LZW_TABLE_ENTRIES);
        const std::size_t row = slot(code, 0);
        std::fill_n(&codes[row], COLOURS, std::uint16_t{0});
        codes[slot(prefix, pixel)] = static_cast<std::uint16_t>(row);  // At most 4095 x 16.
    }
    void reset() { std::fill_n(codes, COLOURS * COLOURS, std::uint16_t{0}); }
};

// Collects the code stream in a buffer of one sub-block and appends each full one to the file,
// with its length byte, as soon as it is complete.
class SubBlockWriter {
public:
    explicit SubBlockWriter(std::vector<std::uint8_t>& file) : file_(file) {}

    void put(std::int32_t code, int size) {
        put_code(code, buffer_, position_, size);
        if (position_ >= FULL_BITS)
            flush_block();
    }
    // Appends the last, shorter sub-block, if any bits are left, and the zero length byte.
    void finish() {
        const std::size_t rest = (position_ + 7) / 8;
        if (rest != 0) {
            file_.push_back(static_cast<std::uint8_t>(rest));
            file_.insert(file_.end(), buffer_.begin(),
                         buffer_.begin() + static_cast<std::ptrdiff_t>(rest));
        }
        file_.push_back(0x00);
    }

private:
    void flush_block() {
        file_.push_back(static_cast<std::uint8_t>(BLOCK_BYTES));
        file_.insert(file_.end(), buffer_.begin(), buffer_.begin() + BLOCK_BYTES);
        // The bits past the block (a code reaches at most 12 bits beyond it) start the next one.
        std::copy(buffer_.begin() + BLOCK_BYTES, buffer_.end(), buffer_.begin());
        std::fill(buffer_.begin() + (buffer_.size() - BLOCK_BYTES), buffer_.end(), 0);
        position_ -= FULL_BITS;
    }

    static constexpr std::ptrdiff_t BLOCK_BYTES = 255;
    static constexpr std::uint32_t FULL_BITS = 8 * BLOCK_BYTES;
    std::vector<std::uint8_t>& file_;
    // put_code writes up to two bytes past the code's first byte, which lies within the block.
    std::array<std::uint8_t, BLOCK_BYTES + 3> buffer_{};
    std::uint32_t position_ = 0;
};

// Appends the image descriptor and the code stream of the size.height rows of size.width pixels
// that rows(y) gives, one row at a time, so that a screen need not be rendered whole first;
// strings run on from one row into the next.
template <typename Dictionary, typename Rows>
void append_image(std::vector<std::uint8_t>& file, const Rows& rows, screen::PictureSize size,
                  Dictionary dictionary) {
    file.insert(file.end(), {0x2C, 0x00, 0x00, 0x00, 0x00});  // Separator; left and top 0.
    append_u16(file, size.width);
    append_u16(file, size.height);
    file.push_back(0x03);       // Image flags: L I S 00 PPP, no local table, not interlaced.
    file.push_back(ROOT_BITS);  // LZW minimum code size.
    // The code stream in sub-blocks of 255 bytes, the last one shorter, then a zero length
    // byte.
    SubBlockWriter writer(file);

    std::int32_t current = NO_PREFIX;
    std::int32_t next = FIRST_FREE_CODE;
    int code_size = FIRST_CODE_BITS;
    std::int32_t grow_at = power_of_two[FIRST_CODE_BITS] + 1;
    writer.put(CLEAR_CODE, code_size);
    for (int y = 0; y < size.height; ++y) {
        const std::span<const std::uint8_t> row = rows(y);
        const std::uint8_t* pixel = row.data();
        const std::uint8_t* const end = row.data() + row.size();
        if (current == NO_PREFIX)
            current = *pixel++;  // A string of one pixel is its root.
        for (;;) {
            // The longest string in the dictionary that goes on from here; in its own loop, so
            // that the search of most pixels keeps to a few registers.
            pixel = dictionary.extend(current, pixel, end, next);
            if (pixel == end)
                break;
            assert(*pixel < COLOURS);
            dictionary.add(next, current, *pixel);
            ++next;
            writer.put(current, code_size);
            current = *pixel++;
            // The size grows after the code written when entry 2^size is added; after entry 4095
            // the table starts again behind a clear code in 12 bits.
            if (next == grow_at) {
                ++code_size;
                grow_at = power_of_two[static_cast<std::size_t>(code_size)] + 1;
            } else if (static_cast<std::size_t>(next) == LZW_TABLE_ENTRIES) {
                writer.put(CLEAR_CODE, code_size);
                code_size = FIRST_CODE_BITS;
                grow_at = power_of_two[FIRST_CODE_BITS] + 1;
                next = FIRST_FREE_CODE;
                dictionary.reset();
            }
        }
    }
    writer.put(current, code_size);
    writer.put(END_CODE, code_size);
    writer.finish();
}

// The file of one 256x192 image: header, image and trailer. Room for the longest stream is set
// aside, which costs nothing until it is written.
template <typename Dictionary, typename Rows>
std::vector<std::uint8_t> encode_with(const Rows& rows, Dictionary dictionary) {
    std::vector<std::uint8_t> file;
    file.reserve(GIF_HEADER_BYTES + max_stream_bytes(screen::SCREEN_PIXELS) + 1);
    append_header(file, {}, false);
    append_image(file, rows, {}, dictionary);
    file.push_back(GIF_TRAILER);
    return file;
}

struct FreeIndex {
    void operator()(IndexDictionary::Index* index) const { std::free(index); }
};
using IndexPointer = std::unique_ptr<IndexDictionary::Index, FreeIndex>;

// The index starts as zeros. Memory fresh from the system is zero already, and calloc does not
// write it again, so rows that are never reached cost nothing; the dictionary still clears each
// row as it comes into use, for the rows used before a reset.
IndexPointer new_index() {
    auto* index =
        static_cast<IndexDictionary::Index*>(std::calloc(1, sizeof(IndexDictionary::Index)));
    if (index == nullptr)
        base::error(base::MSG_NO_MEMORY);
    return IndexPointer(index);
}

// The pixels a caller hands over are checked before any is used as an index: a whole screen of
// values 0..15.
void check_screen_pixels(std::span<const std::uint8_t> pixels) {
    base::require(pixels.size() == screen::SCREEN_PIXELS);
    base::require(std::all_of(pixels.begin(), pixels.end(),
                              [](std::uint8_t pixel) { return pixel < COLOURS; }));
}

}  // namespace

void put_code(std::int32_t code, std::span<std::uint8_t> buffer, std::uint32_t& position,
              int size) {
    assert(code >= 0 && code < power_of_two[static_cast<std::size_t>(size)]);
    const std::size_t at = position / 8;
    const unsigned shift = position % 8;
    const auto value = static_cast<std::uint32_t>(code) << shift;
    buffer[at] |= static_cast<std::uint8_t>(value);
    buffer[at + 1] |= static_cast<std::uint8_t>(value >> 8);
    buffer[at + 2] |= static_cast<std::uint8_t>(value >> 16);
    position += static_cast<std::uint32_t>(size);
}

std::vector<std::uint8_t> encode_gif(std::span<const std::uint8_t> pixels) {
    check_screen_pixels(pixels);
    IndexPointer index = new_index();
    return encode_with(screen::PixelRows{pixels}, IndexDictionary(*index));
}

std::vector<std::uint8_t> encode_gif_by_scan(std::span<const std::uint8_t> pixels) {
    check_screen_pixels(pixels);
    LzwTable table;
    reset_lzw_table(table, ROOT_BITS);
    return encode_with(screen::PixelRows{pixels}, ScanDictionary{table});
}

std::vector<std::uint8_t> write_gif_screen(const screen::ScreenImage& screen,
                                           std::uint8_t border_colour,
                                           const screen::Options& options,
                                           screen::PictureSize size) {
    base::require(size == screen::written_size(options));
    IndexPointer index = new_index();
    if (options.scale == 1 && !options.border && !options.flash) {
        return encode_with(screen::RenderedRows{screen, options.bw, options.inverse},
                           IndexDictionary(*index));
    }
    // With --flash and a cell that flashes, both phases in turn, for ever; otherwise one picture.
    const bool animated = options.flash && screen::has_visible_flash(screen, options);
    const int frames = animated ? 2 : 1;
    const auto pixel_count =
        static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
    std::vector<std::uint8_t> file;
    file.reserve(GIF_HEADER_BYTES + 19 +
                 static_cast<std::size_t>(frames) * (8 + 11 + max_stream_bytes(pixel_count)) + 1);
    append_header(file, size, animated);
    for (int phase = 0; phase < frames; ++phase) {
        if (animated)
            append_frame_delay(file, FLASH_DELAY);
        append_image(file, screen::WrittenRows(screen, border_colour, options, phase == 1), size,
                     IndexDictionary(*index));
    }
    file.push_back(GIF_TRAILER);
    return file;
}

}  // namespace mirva::pictures
