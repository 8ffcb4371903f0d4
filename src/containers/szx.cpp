#include "containers/szx.h"

#include <algorithm>
#include <array>
#include <optional>

#define ZLIB_CONST
#include <zlib.h>

#include "base/failure.h"

namespace mirva::containers {

namespace {

// The file header: "ZXST", the major and minor version, the machine and a flags byte. Chunks
// follow, each a 4-letter ID, a 32-bit little-endian length and that many bytes.
inline constexpr std::size_t FILE_HEADER_BYTES = 8;
inline constexpr std::array<std::uint8_t, 4> MAGIC{'Z', 'X', 'S', 'T'};
inline constexpr std::size_t MACHINE_OFFSET = 6;
inline constexpr std::size_t CHUNK_HEADER_BYTES = 8;
inline constexpr std::array<std::uint8_t, 4> RAMP_ID{'R', 'A', 'M', 'P'};
inline constexpr std::array<std::uint8_t, 4> SPCR_ID{'S', 'P', 'C', 'R'};

// Real snapshots hold a few tens of chunks (64 RAM pages at most, plus the registers and the
// peripherals); a file with more is taken as damaged, so that a chain of empty chunks ends.
inline constexpr std::size_t MAX_CHUNKS = 1024;

// RAMP: flags (16 bits, bit 0 set when the page is zlib-compressed), the page number, the page.
inline constexpr std::size_t RAMP_HEADER_BYTES = 3;
inline constexpr std::uint16_t RAMP_COMPRESSED = 0x0001;

// SPCR: the border colour, the last writes to ports 0x7FFD, 0x1FFD and 0xFE, 4 bytes reserved.
inline constexpr std::size_t SPCR_BYTES = 8;
inline constexpr std::uint8_t BORDER_MASK = 0x07;
inline constexpr std::uint8_t PORT_SHADOW_SCREEN = 0x08;  // Port 0x7FFD bit 3: bank 7 shown.

inline constexpr std::uint8_t SCREEN_PAGE = 5;
inline constexpr std::uint8_t SHADOW_SCREEN_PAGE = 7;

// Inflated in pieces of this many stored bytes.
inline constexpr std::size_t INPUT_BYTES = 4096;
// zlib stores a 16 KB page in at most a few bytes more than the page, so a stream that needs
// more than 64 KB to make one is damaged, whatever length its chunk claims.
inline constexpr std::uint64_t MAX_COMPRESSED_PAGE_BYTES = 65536;

// True for the machines that have port 0x7FFD; the 16K and 48K Spectrums and the Timex
// machines have no second screen in bank 7, whatever the registers hold.
bool has_port_7ffd(std::uint8_t machine) {
    switch (machine) {
        case 0:   // 16K.
        case 1:   // 48K.
        case 8:   // Timex TC2048.
        case 9:   // Timex TC2068.
        case 12:  // Timex TS2068.
        case 15:  // 48K NTSC.
            return false;
        default:  // 128K, +2, +2A, +3, +3e, Pentagons, Scorpion, SE, 128Ke and later machines.
            return true;
    }
}

struct StoredPage {
    std::uint64_t offset = 0;  // Of the page's bytes, after the RAMP header.
    std::uint64_t stored = 0;
    bool compressed = false;
};

// Ends the inflation whichever way the function that started it returns.
struct Inflation {
    z_stream stream{};
    bool started = false;
    ~Inflation() {
        if (started)
            inflateEnd(&stream);
    }
};

}  // namespace

bool inflate_szx_page(base::ByteSource& source, std::uint64_t stored,
                      std::span<std::uint8_t> start) {
    base::require(!start.empty() && start.size() <= SZX_PAGE_BYTES);
    Inflation inflation;
    if (inflateInit(&inflation.stream) != Z_OK)
        return false;
    inflation.started = true;
    // The bytes past start go through rest and are dropped; one byte more than the page shows a
    // stream that holds more.
    std::array<std::uint8_t, INPUT_BYTES> rest{};
    std::array<std::uint8_t, INPUT_BYTES> input{};
    z_stream& stream = inflation.stream;
    stream.next_out = start.data();
    stream.avail_out = static_cast<uInt>(start.size());
    std::uint64_t remaining = stored;
    for (;;) {
        if (stream.avail_in == 0) {
            auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), remaining));
            std::size_t got = source.read(std::span(input).first(wanted));
            if (got == 0)
                return false;  // The stream goes on past its chunk or the file.
            remaining -= got;
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        if (stream.avail_out == 0) {
            stream.next_out = rest.data();
            stream.avail_out = static_cast<uInt>(
                std::min<std::uint64_t>(rest.size(), SZX_PAGE_BYTES + 1 - stream.total_out));
        }
        int status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            break;
        if (status != Z_OK || stream.total_out > SZX_PAGE_BYTES)
            return false;
    }
    return stream.total_out == SZX_PAGE_BYTES;
}

screen::ScreenImage read_szx_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour) {
    std::array<std::uint8_t, FILE_HEADER_BYTES> header{};
    if (!source.seek(0))
        base::fatal(base::MSG_READ_SOURCE, path);
    base::read_exact(source, header, base::MSG_READ_SOURCE, path);
    if (!std::equal(MAGIC.begin(), MAGIC.end(), header.begin()))
        base::fatal(base::MSG_READ_SOURCE, path);
    bool paged_machine = has_port_7ffd(header[MACHINE_OFFSET]);
    std::optional<std::uint64_t> size = source.size();

    // The registers may come before or after the pages, so the chunks are walked until both the
    // registers and the page they choose are known, and the page is read last.
    std::optional<std::array<std::uint8_t, SPCR_BYTES>> registers;
    std::array<std::optional<StoredPage>, 2> pages{};  // Pages 5 and 7, the first of each.
    auto wanted_page = [&]() -> std::optional<StoredPage>& {
        bool shadow = paged_machine && ((*registers)[1] & PORT_SHADOW_SCREEN) != 0;
        return pages[shadow ? 1 : 0];
    };
    std::uint64_t offset = FILE_HEADER_BYTES;
    for (std::size_t chunks = 0; !registers || !wanted_page(); ++chunks) {
        std::array<std::uint8_t, CHUNK_HEADER_BYTES> chunk{};
        if (chunks == MAX_CHUNKS || !source.seek(offset) || !source.read_all(chunk))
            base::fatal(base::MSG_READ_SOURCE, path);  // Also the end of a file that lacks one.
        std::uint32_t length = base::little_endian_32(chunk, 4);
        offset += CHUNK_HEADER_BYTES;
        // A chunk that runs past the end of the file is damaged.
        if (size && (offset > *size || length > *size - offset))
            base::fatal(base::MSG_READ_SOURCE, path);
        auto id = std::span(chunk).first<4>();
        if (std::equal(id.begin(), id.end(), SPCR_ID.begin()) && !registers) {
            std::array<std::uint8_t, SPCR_BYTES> bytes{};
            if (length < SPCR_BYTES)
                base::fatal(base::MSG_READ_SOURCE, path);
            base::read_exact(source, bytes, base::MSG_READ_SOURCE, path);
            registers = bytes;
        } else if (std::equal(id.begin(), id.end(), RAMP_ID.begin())) {
            std::array<std::uint8_t, RAMP_HEADER_BYTES> ramp{};
            if (length < RAMP_HEADER_BYTES)
                base::fatal(base::MSG_READ_SOURCE, path);
            base::read_exact(source, ramp, base::MSG_READ_SOURCE, path);
            std::uint8_t page = ramp[2];
            if (page == SCREEN_PAGE || page == SHADOW_SCREEN_PAGE) {
                auto& slot = pages[page == SCREEN_PAGE ? 0 : 1];
                if (!slot) {
                    slot = StoredPage{offset + RAMP_HEADER_BYTES, length - RAMP_HEADER_BYTES,
                                      (base::little_endian_16(ramp) & RAMP_COMPRESSED) != 0};
                }
            }
        }
        offset += length;
    }

    border_colour = static_cast<std::uint8_t>((*registers)[0] & BORDER_MASK);
    const StoredPage& page = *wanted_page();
    screen::ScreenImage screen{};
    if (!source.seek(page.offset))
        base::fatal(base::MSG_READ_SOURCE, path);
    if (page.compressed) {
        if (!inflate_szx_page(source, std::min(page.stored, MAX_COMPRESSED_PAGE_BYTES), screen))
            base::fatal(base::MSG_READ_SOURCE, path);
    } else {
        // A plain page holds all its 16384 bytes, of which the screen is the start.
        if (page.stored < SZX_PAGE_BYTES)
            base::fatal(base::MSG_READ_SOURCE, path);
        base::read_exact(source, screen, base::MSG_READ_SOURCE, path);
    }
    return screen;
}

}  // namespace mirva::containers
