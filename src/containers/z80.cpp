#include "containers/z80.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <limits>

#include "base/buffered_source.h"
#include "base/failure.h"

namespace mirva::containers {

namespace {

// The start of every Z80 file holds the 30-byte main header, the length of the additional
// header and enough of it to reach the first memory block header of every version.
inline constexpr std::size_t HEADER_AREA_BYTES = 100;
inline constexpr std::size_t FLAGS_OFFSET = 12;
inline constexpr std::uint8_t FLAGS_BORDER_SHIFT = 1;  // Flags: bits 3..1 are the border colour.
inline constexpr std::uint8_t BORDER_MASK = 0x07;
inline constexpr std::uint8_t FLAGS_COMPRESSED = 0x20;  // Flags bit 5: version-1 body packed.
inline constexpr std::size_t ADDITIONAL_LENGTH_OFFSET = 30;
inline constexpr std::uint64_t VERSION_1_BODY_OFFSET = 30;

// Lengths of the additional header. Version 3 writers store 54, or 55 when they add the last
// write to port 0x1FFD; either way the memory blocks follow the additional header.
inline constexpr std::uint16_t VERSION_2_LENGTH = 23;
inline constexpr std::uint16_t VERSION_3_LENGTH = 54;
inline constexpr std::uint16_t VERSION_3_LONG_LENGTH = 55;
inline constexpr std::size_t MAIN_HEADER_BYTES = 32;  // The 30-byte header and the length.
static_assert(MAIN_HEADER_BYTES + VERSION_3_LONG_LENGTH + 3 <= HEADER_AREA_BYTES);

// A memory block: length (2 bytes, little-endian), page number, then the data.
inline constexpr std::size_t BLOCK_HEADER_BYTES = 3;
inline constexpr std::uint8_t SCREEN_PAGE = 8;          // RAM bank 5, which starts with the screen.
inline constexpr std::uint8_t SHADOW_SCREEN_PAGE = 10;  // RAM bank 7, the 128K second screen.
inline constexpr std::uint16_t PLAIN_BLOCK = 0xFFFF;    // Version 3: 16384 bytes follow unpacked.
inline constexpr std::uint64_t PAGE_BYTES = 16384;
// No machine has this many pages: a longer chain before the screen's block is not a snapshot.
inline constexpr unsigned MAX_BLOCKS_BEFORE_SCREEN = 256;

// Compressed data are held at most this many bytes at a time.
inline constexpr std::size_t BUFFER_BYTES = 10000;
inline constexpr std::uint64_t TO_END_OF_FILE = std::numeric_limits<std::uint64_t>::max();

// The additional header: the hardware mode, then the last write to port 0x7FFD in 128K modes.
inline constexpr std::size_t HARDWARE_MODE_OFFSET = 34;
inline constexpr std::size_t PORT_7FFD_OFFSET = 35;
inline constexpr std::uint8_t PORT_SHADOW_SCREEN = 0x08;  // Port 0x7FFD bit 3: bank 7 shown.

// True when the hardware mode is a machine with port 0x7FFD: 128K, +2, +2A, +3, Pentagon and
// Scorpion. Modes 3 and 4 mean 128K in version 2 but 48K with an MGT interface and 128K in
// version 3; modes from 7 on mean the same in both.
bool has_port_7ffd(std::uint8_t mode, bool version_3) {
    switch (mode) {
        case 3:
            return !version_3;  // Version 2: 128K. Version 3: 48K with an MGT interface.
        case 4:                 // Version 2: 128K with Interface 1. Version 3: 128K.
            return true;
        case 5:
        case 6:
            return version_3;  // 128K with Interface 1 or an MGT interface.
        case 7:                // +3.
        case 8:                // +3, as some writers mark it.
        case 9:                // Pentagon 128K.
        case 10:               // Scorpion 256K.
        case 12:               // +2.
        case 13:               // +2A.
            return true;
        default:
            return false;
    }
}

struct BlockHeader {
    std::uint16_t length = 0;
    std::uint8_t page = 0;
};

BlockHeader parse_block_header(std::span<const std::uint8_t, BLOCK_HEADER_BYTES> bytes) {
    return {base::little_endian_16(bytes), bytes[2]};
}

// Reads compressed screen data from the current position, no more than limit bytes, and
// expands them as they come. A screen that needs more than the buffer holds is read in further
// pieces, so a valid snapshot always gives its whole screen. False when fewer than required
// bytes are there (even if the screen could be made of them), or when the data end, or a run
// code is cut off by their end, before the screen is full.
bool read_compressed_screen(base::ByteSource& source, std::uint64_t limit, std::uint64_t required,
                            screen::ScreenImage& screen) {
    std::array<std::uint8_t, BUFFER_BYTES> buffer{};
    std::size_t held = 0;
    std::size_t produced = 0;
    std::uint64_t remaining = limit;
    for (;;) {
        auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - held, remaining));
        std::size_t got = source.read(std::span(buffer).subspan(held, wanted));
        held += got;
        remaining -= got;
        if (got < wanted && limit - remaining < required)
            return false;
        bool last = got < wanted || remaining == 0;
        auto step = unpack_z80_block(std::span(buffer).first(held), last, screen, produced);
        produced = step.produced;
        if (produced == screen.size())
            return true;
        if (last)
            return false;
        // What is left is one cut-off code, at most 3 bytes; it starts the next piece.
        assert(held - step.consumed < Z80_RUN_CODE_BYTES);
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(step.consumed),
                  buffer.begin() + static_cast<std::ptrdiff_t>(held), buffer.begin());
        held -= step.consumed;
    }
}

}  // namespace

Z80Unpacking unpack_z80_block(std::span<const std::uint8_t> input, bool input_is_last,
                              screen::ScreenImage& screen, std::size_t produced) {
    assert(produced <= screen.size());
    std::size_t position = 0;
    while (produced < screen.size() && position < input.size()) {
        auto rest = input.subspan(position);
        if (rest[0] == Z80_RUN_MARK && rest.size() == 1 && !input_is_last)
            break;  // The next piece decides whether this 0xED starts a run.
        if (rest[0] == Z80_RUN_MARK && rest.size() >= 2 && rest[1] == Z80_RUN_MARK) {
            if (rest.size() < Z80_RUN_CODE_BYTES)
                break;  // A cut-off run code.
            // The test for a run is made afresh right after it; a run that overfills the
            // screen is cut at its end.
            std::size_t count = std::min<std::size_t>(rest[2], screen.size() - produced);
            std::fill_n(screen.begin() + static_cast<std::ptrdiff_t>(produced), count, rest[3]);
            produced += count;
            position += Z80_RUN_CODE_BYTES;
            continue;
        }
        // Any other byte, a single 0xED included, stands for itself.
        screen[produced] = rest[0];
        ++produced;
        ++position;
    }
    return {position, produced};
}

bool unpack_z80_block(std::span<const std::uint8_t> compressed, screen::ScreenImage& screen) {
    return unpack_z80_block(compressed, true, screen, 0).produced == screen.size();
}

screen::ScreenImage read_z80_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour) {
    base::BufferedSource snapshot(source);
    std::array<std::uint8_t, HEADER_AREA_BYTES> header{};
    if (!snapshot.seek(0) || !snapshot.read_all(header))
        base::fatal(base::MSG_READ_SOURCE, path);
    std::uint8_t flags = header[FLAGS_OFFSET];
    border_colour = static_cast<std::uint8_t>((flags >> FLAGS_BORDER_SHIFT) & BORDER_MASK);

    // The length of the additional header alone gives the version.
    const std::uint16_t additional_length =
        base::little_endian_16(header, ADDITIONAL_LENGTH_OFFSET);
    bool version_3 =
        additional_length == VERSION_3_LENGTH || additional_length == VERSION_3_LONG_LENGTH;
    bool version_2 = additional_length == VERSION_2_LENGTH;

    screen::ScreenImage screen{};
    if (!version_2 && !version_3) {
        // Version 1: the 48K memory from address 16384, so the screen comes first. A packed body
        // is read until its screen is whole, up to the end of the file.
        bool read = snapshot.seek(VERSION_1_BODY_OFFSET) &&
                    ((flags & FLAGS_COMPRESSED) != 0
                         ? read_compressed_screen(snapshot, TO_END_OF_FILE, 0, screen)
                         : snapshot.read_all(screen));
        if (!read)
            base::fatal(base::MSG_READ_SOURCE, path);
        return screen;
    }

    // A 128K machine showing its second screen shows bank 7; any other shows bank 5.
    std::uint8_t screen_page = has_port_7ffd(header[HARDWARE_MODE_OFFSET], version_3) &&
                                       (header[PORT_7FFD_OFFSET] & PORT_SHADOW_SCREEN) != 0
                                   ? SHADOW_SCREEN_PAGE
                                   : SCREEN_PAGE;

    std::size_t first_block = MAIN_HEADER_BYTES + additional_length;
    auto block =
        parse_block_header(std::span(header).subspan(first_block).first<BLOCK_HEADER_BYTES>());
    if (!snapshot.seek(first_block + BLOCK_HEADER_BYTES))
        base::fatal(base::MSG_READ_SOURCE, path);
    // The blocks before the screen's are skipped; a file without one ends in a short read.
    for (unsigned skipped = 0; block.page != screen_page; ++skipped) {
        if (skipped == MAX_BLOCKS_BEFORE_SCREEN)
            base::fatal(base::MSG_READ_SOURCE, path);
        std::uint64_t stored =
            version_3 && block.length == PLAIN_BLOCK ? PAGE_BYTES : std::uint64_t{block.length};
        std::array<std::uint8_t, BLOCK_HEADER_BYTES> next{};
        if (!snapshot.skip(stored) || !snapshot.read_all(next))
            base::fatal(base::MSG_READ_SOURCE, path);
        block = parse_block_header(next);
    }
    // Version 2 knows no plain blocks: there 0xFFFF is an ordinary length. A packed block is
    // read no further than its own length; a length of 0 holds no screen. Its first bytes, as
    // many as the buffer holds, must all be there, even when fewer would make the screen.
    bool read =
        version_3 && block.length == PLAIN_BLOCK
            ? snapshot.read_all(screen)
            : read_compressed_screen(snapshot, block.length,
                                     std::min<std::uint64_t>(block.length, BUFFER_BYTES), screen);
    if (!read)
        base::fatal(base::MSG_READ_SOURCE, path);
    return screen;
}

}  // namespace mirva::containers
