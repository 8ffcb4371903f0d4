#include "pictures/gif_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <memory>

#include "pictures/lzw.h"
#include "screen/palette.h"
#include "screen/render.h"

namespace mirva::pictures {

namespace {

inline constexpr int ROOT_BITS = 4;  // Sixteen colours.
inline constexpr std::int32_t CLEAR_CODE = 16;
inline constexpr std::int32_t END_CODE = 17;
inline constexpr std::int32_t FIRST_FREE_CODE = 18;
inline constexpr int FIRST_CODE_BITS = 5;
inline constexpr std::size_t COLOURS = 16;
static_assert(CLEAR_CODE == 1 << ROOT_BITS && FIRST_CODE_BITS == ROOT_BITS + 1);

// The code buffer holds the longest stream any screen can give: every pixel written as a code of
// its own, the clear codes (one at the start and one per 4078 entries added) and the end code,
// all in 12 bits, plus the two bytes put_code touches past the last one.
inline constexpr std::size_t MAX_CODES =
    screen::SCREEN_PIXELS + 1 + screen::SCREEN_PIXELS / (LZW_TABLE_ENTRIES - FIRST_FREE_CODE) + 1;
inline constexpr std::size_t CODE_BUFFER_BYTES = (MAX_CODES * MAX_CODE_BITS + 7) / 8 + 2;

std::array<std::uint8_t, GIF_HEADER_BYTES> gif_header() {
    std::array<std::uint8_t, GIF_HEADER_BYTES> header{
        'G',  'I',  'F', '8', '7', 'a', 0x00, 0x01,  // Logical screen width 256.
        0xC0, 0x00,                                  // Logical screen height 192.
        0xB3,  // Screen flags: G CCC S TTT = 1 011 0 011, a global table of 16 entries.
        0x00,  // Background colour index.
        0x00,  // Pixel aspect ratio.
    };
    std::size_t at = 13;
    for (const auto& colour : screen::spectrum_palette) {
        header[at++] = static_cast<std::uint8_t>(colour.red << 2);
        header[at++] = static_cast<std::uint8_t>(colour.green << 2);
        header[at++] = static_cast<std::uint8_t>(colour.blue << 2);
    }
    constexpr std::array<std::uint8_t, 11> image_descriptor{
        0x2C,             // Image separator.
        0x00,      0x00,  // Left.
        0x00,      0x00,  // Top.
        0x00,      0x01,  // Width 256.
        0xC0,      0x00,  // Height 192.
        0x03,             // Image flags: L I S 00 PPP, no local table, not interlaced.
        ROOT_BITS,        // LZW minimum code size.
    };
    std::copy(image_descriptor.begin(), image_descriptor.end(), header.begin() + 61);
    return header;
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
};

// The dictionary as the code of each {prefix, pixel} pair, 0 for none (no added entry has a code
// below 18). It holds exactly the entries added since the last reset, which are the ones the
// scan can find, and the scan never finds two for a pair, so both give the same code.
//
// Only the rows of strings the encoder can hold are ever read: the roots, and codes added since
// the last reset. A row is cleared when its code is added (before the code can become a prefix),
// and the root rows at each reset, so no reset clears the whole index and rows of codes never
// reached are never touched.
//
// In a run of one colour each string found is the entry right after its prefix. That entry is
// tried first: its place does not depend on a value loaded from the index, so the processor
// need not wait for one lookup before the next.
struct IndexDictionary {
    std::unique_ptr<std::uint16_t[]> codes{new std::uint16_t[LZW_TABLE_ENTRIES * COLOURS]};
    // The {prefix, pixel} slot of each code added, plus 1; valid for the codes below next.
    std::unique_ptr<std::uint32_t[]> slots{new std::uint32_t[LZW_TABLE_ENTRIES]};

    IndexDictionary() { reset(); }

    static std::size_t slot(std::int32_t prefix, std::uint8_t pixel) {
        assert(prefix >= 0 && static_cast<std::size_t>(prefix) < LZW_TABLE_ENTRIES);
        assert(pixel < COLOURS);
        return static_cast<std::size_t>(prefix) * COLOURS + pixel;
    }
    std::int32_t find(std::int32_t prefix, std::uint8_t pixel, std::int32_t next) const {
        if (prefix == NO_PREFIX)
            return pixel;
        std::size_t wanted = slot(prefix, pixel);
        std::int32_t following = prefix + 1;
        if (following >= FIRST_FREE_CODE && following < next &&
            slots[static_cast<std::size_t>(following)] == wanted + 1)
            return following;
        std::uint16_t code = codes[wanted];
        return code == 0 ? -1 : code;
    }
    void add(std::int32_t code, std::int32_t prefix, std::uint8_t pixel) {
        assert(code >= FIRST_FREE_CODE && static_cast<std::size_t>(code) < LZW_TABLE_ENTRIES);
        std::fill_n(&codes[slot(code, 0)], COLOURS, std::uint16_t{0});
        std::size_t added = slot(prefix, pixel);
        codes[added] = static_cast<std::uint16_t>(code);
        slots[static_cast<std::size_t>(code)] = static_cast<std::uint32_t>(added + 1);
    }
    void reset() { std::fill_n(&codes[0], COLOURS * COLOURS, std::uint16_t{0}); }
};

template <typename Dictionary>
std::vector<std::uint8_t> encode_with(std::span<const std::uint8_t> pixels,
                                      Dictionary& dictionary) {
    assert(pixels.size() == screen::SCREEN_PIXELS);
    std::vector<std::uint8_t> buffer(CODE_BUFFER_BYTES);
    std::uint32_t position = 0;
    std::int32_t current = NO_PREFIX;
    std::int32_t next = FIRST_FREE_CODE;
    int size = FIRST_CODE_BITS;

    put_code(CLEAR_CODE, buffer, position, size);
    for (std::uint8_t pixel : pixels) {
        assert(pixel < COLOURS);
        std::int32_t found = dictionary.find(current, pixel, next);
        if (found != -1) {
            current = found;
            continue;
        }
        dictionary.add(next, current, pixel);
        ++next;
        put_code(current, buffer, position, size);
        current = pixel;
        // The size grows after the code written when entry 2^size is added; after entry 4095
        // the table starts again behind a clear code in 12 bits.
        if (next == power_of_two[static_cast<std::size_t>(size)] + 1) {
            ++size;
        } else if (static_cast<std::size_t>(next) == LZW_TABLE_ENTRIES) {
            put_code(CLEAR_CODE, buffer, position, size);
            size = FIRST_CODE_BITS;
            next = FIRST_FREE_CODE;
            dictionary.reset();
        }
    }
    if (current != NO_PREFIX)
        put_code(current, buffer, position, size);
    put_code(END_CODE, buffer, position, size);

    // The code stream goes out in sub-blocks of 255 bytes, the last one shorter, then a zero
    // length byte; no trailer follows.
    const std::size_t stream_bytes = (position + 7) / 8;
    const std::size_t full_blocks = stream_bytes / 255;
    const std::size_t rest = stream_bytes % 255;
    std::vector<std::uint8_t> file(GIF_HEADER_BYTES + full_blocks * 256 + (rest ? rest + 1 : 0) +
                                   1);
    auto header = gif_header();
    auto out = std::copy(header.begin(), header.end(), file.begin());
    auto stream = std::span(buffer).first(stream_bytes);
    for (std::size_t block = 0; block < full_blocks; ++block) {
        *out++ = 0xFF;
        out = std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(block * 255), 255, out);
    }
    if (rest) {
        *out++ = static_cast<std::uint8_t>(rest);
        out = std::copy_n(stream.end() - static_cast<std::ptrdiff_t>(rest), rest, out);
    }
    *out = 0x00;
    return file;
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
    IndexDictionary dictionary;
    return encode_with(pixels, dictionary);
}

std::vector<std::uint8_t> encode_gif_by_scan(std::span<const std::uint8_t> pixels) {
    LzwTable table;
    reset_lzw_table(table, ROOT_BITS);
    ScanDictionary dictionary{table};
    return encode_with(pixels, dictionary);
}

std::vector<std::uint8_t> write_gif_screen(const screen::ScreenImage& screen, bool bw,
                                           bool inverse) {
    // Flash phase 0: flashing cells appear as stored.
    screen::Picture rendered = screen::render_screen(screen, bw, inverse, false);
    return encode_gif(std::span(rendered.pixels).first(screen::SCREEN_PIXELS));
}

}  // namespace mirva::pictures
