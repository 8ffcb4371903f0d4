#include "containers/tzx.h"

#include <algorithm>
#include <optional>

#include "base/buffered_reader.h"
#include "base/failure.h"

namespace mirva::containers {

namespace {

// A flag byte, the 6912 screen bytes and a checksum byte, as a Spectrum saves a screen.
inline constexpr std::uint64_t TAPE_SCREEN_BYTES = 1 + screen::SCREEN_BYTES + 1;
static_assert(TAPE_SCREEN_BYTES == 6914);

inline constexpr std::uint8_t ID_STANDARD_SPEED = 0x10;
inline constexpr std::uint8_t ID_TURBO_SPEED = 0x11;
inline constexpr std::uint8_t ID_PURE_DATA = 0x14;
inline constexpr std::uint8_t ID_CUSTOM_INFO = 0x35;
static_assert(TZX_SCREEN_INFO_NAME.size() == 16);

// How a block after its ID byte is laid out: `fixed` bytes of fields, then a body whose length
// is the number of `width` bytes at `at` among those fields, times `unit`.
struct BlockShape {
    std::uint8_t id = 0;
    std::uint8_t fixed = 0;
    std::uint8_t at = 0;
    std::uint8_t width = 0;  // 0: no body.
    std::uint8_t unit = 1;
};

inline constexpr std::size_t MAX_FIXED_BYTES = 20;

// Every block type of versions 1.00 to 1.20, the deprecated ones included.
inline constexpr std::array<BlockShape, 29> BLOCK_SHAPES{{
    {0x10, 4, 2, 2, 1},    // Standard speed: pause, 16-bit length, data.
    {0x11, 18, 15, 3, 1},  // Turbo speed: timings, 24-bit length, data.
    {0x12, 4, 0, 0, 1},    // Pure tone.
    {0x13, 1, 0, 1, 2},    // Pulse sequence: count, 16-bit pulses.
    {0x14, 10, 7, 3, 1},   // Pure data: timings, 24-bit length, data.
    {0x15, 8, 5, 3, 1},    // Direct recording: timings, 24-bit length, samples.
    {0x16, 4, 0, 4, 1},    // C64 ROM data, deprecated: 32-bit length of the rest.
    {0x17, 4, 0, 4, 1},    // C64 turbo data, deprecated: 32-bit length of the rest.
    {0x18, 4, 0, 4, 1},    // CSW recording: 32-bit length of the rest.
    {0x19, 4, 0, 4, 1},    // Generalized data: 32-bit length of the rest.
    {0x20, 2, 0, 0, 1},    // Pause or stop the tape.
    {0x21, 1, 0, 1, 1},    // Group start: name length, name.
    {0x22, 0, 0, 0, 1},    // Group end.
    {0x23, 2, 0, 0, 1},    // Jump.
    {0x24, 2, 0, 0, 1},    // Loop start.
    {0x25, 0, 0, 0, 1},    // Loop end.
    {0x26, 2, 0, 2, 2},    // Call sequence: 16-bit count, 16-bit offsets.
    {0x27, 0, 0, 0, 1},    // Return from sequence.
    {0x28, 2, 0, 2, 1},    // Select: 16-bit length of the rest.
    {0x2A, 4, 0, 4, 1},    // Stop in 48K mode: 32-bit length, 0.
    {0x2B, 4, 0, 4, 1},    // Set signal level: 32-bit length, level.
    {0x30, 1, 0, 1, 1},    // Text description: length, text.
    {0x31, 2, 1, 1, 1},    // Message: time, text length, text.
    {0x32, 2, 0, 2, 1},    // Archive info: 16-bit length of the rest.
    {0x33, 1, 0, 1, 3},    // Hardware type: count, 3-byte entries.
    {0x34, 8, 0, 0, 1},    // Emulation info, deprecated.
    {0x35, 20, 16, 4, 1},  // Custom info: 16-byte name, 32-bit length, body.
    {0x40, 4, 1, 3, 1},    // Snapshot, deprecated: type, 24-bit length, snapshot.
    {0x5A, 9, 0, 0, 1},    // Glue: "XTape!", 0x1A and a version.
}};

constexpr bool shapes_fit() {
    for (const BlockShape& shape : BLOCK_SHAPES) {
        if (shape.fixed > MAX_FIXED_BYTES || shape.at + shape.width > shape.fixed)
            return false;
    }
    return true;
}
static_assert(shapes_fit());

// Every block defined after version 1.10 starts with the 32-bit length of the rest, and so
// will any block a later version adds: an unknown ID is passed over by it.
inline constexpr BlockShape LATER_BLOCK{0, 4, 0, 4, 1};

constexpr std::array<BlockShape, 256> make_shape_table() {
    std::array<BlockShape, 256> table{};
    table.fill(LATER_BLOCK);
    for (const BlockShape& shape : BLOCK_SHAPES) {
        table[shape.id] = shape;
    }
    return table;
}

// The shape of every ID.
inline constexpr std::array<BlockShape, 256> SHAPE_OF_ID = make_shape_table();
static_assert(SHAPE_OF_ID[ID_CUSTOM_INFO].fixed == 16 + 4);
static_assert(SHAPE_OF_ID[0x4B].width == 4 && SHAPE_OF_ID[0x5A].fixed == 9);

std::uint64_t little_endian(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        value = (value << 8) | bytes[i];
    return value;
}

struct LoadingScreen {
    screen::ScreenImage screen{};
    std::uint8_t border_colour = 0;
};

// Reads the body of a Custom Info block named as a loading screen: a description length byte L,
// the description, the border byte and the screen. Returns nothing when the body is too short
// to hold them; the reader stands at the end of the block either way.
std::optional<LoadingScreen> read_loading_screen(base::BufferedReader& in, std::uint64_t length,
                                                 std::string_view path) {
    if (length < 1 + 1 + screen::SCREEN_BYTES) {
        if (!in.skip(length))
            base::fatal(base::MSG_READ_SOURCE, path);
        return std::nullopt;
    }
    std::array<std::uint8_t, 1> description_length{};
    if (!in.read(description_length))
        base::fatal(base::MSG_READ_SOURCE, path);
    const std::uint64_t needed = 1 + description_length[0] + 1 + screen::SCREEN_BYTES;
    if (length < needed) {
        if (!in.skip(length - 1))
            base::fatal(base::MSG_READ_SOURCE, path);
        return std::nullopt;
    }
    LoadingScreen found;
    std::array<std::uint8_t, 1> border{};
    if (!in.skip(description_length[0]) || !in.read(border) || !in.read(found.screen) ||
        !in.skip(length - needed))
        base::fatal(base::MSG_READ_SOURCE, path);
    found.border_colour = border[0];
    return found;
}

}  // namespace

screen::ScreenImage read_tzx_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour) {
    // The size bounds every block: a length that runs past the end is damage, found before any
    // of the block is read.
    std::optional<std::uint64_t> size = source.size();
    if (!size)
        base::fatal(base::MSG_READ_SOURCE, path);
    base::BufferedReader in(source, *size);

    // Version 1 of any revision: a later revision only adds blocks, which are skipped.
    std::array<std::uint8_t, TZX_SIGNATURE.size() + 2> header{};
    if (!in.read(header) ||
        !std::equal(TZX_SIGNATURE.begin(), TZX_SIGNATURE.end(), header.begin()) ||
        header[TZX_SIGNATURE.size()] != 1)
        base::fatal(base::MSG_READ_SOURCE, path);

    std::optional<LoadingScreen> loading_screen;
    for (std::uint64_t blocks = 0; in.remaining() > 0; ++blocks) {
        if (blocks == MAX_TAPE_BLOCKS)
            base::fatal(base::MSG_READ_SOURCE, path);
        std::array<std::uint8_t, 1> id{};
        std::array<std::uint8_t, MAX_FIXED_BYTES> fields{};
        if (!in.read(id))
            base::fatal(base::MSG_READ_SOURCE, path);
        const BlockShape& shape = SHAPE_OF_ID[id[0]];
        auto fixed = std::span(fields).first(shape.fixed);
        if (!in.read(fixed))
            base::fatal(base::MSG_READ_SOURCE, path);
        const std::uint64_t value = little_endian(fixed.subspan(shape.at, shape.width));
        // Below 4 GiB: a count of 2- or 3-byte units takes one or two bytes.
        const std::uint64_t length = value * shape.unit;
        if (length > in.remaining())
            base::fatal(base::MSG_READ_SOURCE, path);

        const bool data_block =
            id[0] == ID_STANDARD_SPEED || id[0] == ID_TURBO_SPEED || id[0] == ID_PURE_DATA;
        if (data_block && length == TAPE_SCREEN_BYTES) {
            screen::ScreenImage screen{};
            if (!in.skip(1) || !in.read(screen))  // The flag byte, then the screen.
                base::fatal(base::MSG_READ_SOURCE, path);
            return screen;
        }
        const bool screen_info =
            id[0] == ID_CUSTOM_INFO &&
            std::equal(TZX_SCREEN_INFO_NAME.begin(), TZX_SCREEN_INFO_NAME.end(), fixed.begin());
        if (screen_info && !loading_screen) {
            loading_screen = read_loading_screen(in, length, path);
        } else if (!in.skip(length)) {
            base::fatal(base::MSG_READ_SOURCE, path);
        }
    }
    if (!loading_screen)
        base::error(base::MSG_TZX_WITHOUT_SCREEN);
    border_colour = loading_screen->border_colour;
    return loading_screen->screen;
}

}  // namespace mirva::containers
