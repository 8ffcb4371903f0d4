#include "containers/pzx.h"

#include <array>
#include <optional>

#include "base/buffered_reader.h"
#include "base/failure.h"
#include "containers/tzx.h"

namespace mirva::containers {

namespace {

inline constexpr std::uint64_t TAPE_SCREEN_BYTES = 1 + screen::SCREEN_BYTES + 1;

// Every block: a four-letter tag and the 32-bit length of what follows.
using Tag = std::array<std::uint8_t, 4>;
inline constexpr Tag TAG_HEADER{'P', 'Z', 'X', 'T'};
inline constexpr Tag TAG_DATA{'D', 'A', 'T', 'A'};
inline constexpr std::size_t BLOCK_HEADER_BYTES = 8;

// A DATA block starts with the bit count (bit 31 is the initial pulse level), the tail pulse,
// and the pulse counts of the 0 and 1 bits; then the 16-bit pulses of each, then the data.
inline constexpr std::size_t DATA_FIELDS_BYTES = 8;
inline constexpr std::uint32_t BIT_COUNT_MASK = 0x7FFF'FFFF;

}  // namespace

screen::ScreenImage read_pzx_screen(base::ByteSource& source, std::string_view path) {
    std::optional<std::uint64_t> size = source.size();
    if (!size)
        base::fatal(base::MSG_READ_SOURCE, path);
    base::BufferedReader in(source, *size);

    for (std::uint64_t blocks = 0; blocks == 0 || in.remaining() > 0; ++blocks) {
        if (blocks == MAX_TAPE_BLOCKS)
            base::fatal(base::MSG_READ_SOURCE, path);
        std::array<std::uint8_t, BLOCK_HEADER_BYTES> header{};
        if (!in.read(header))
            base::fatal(base::MSG_READ_SOURCE, path);
        const Tag tag{header[0], header[1], header[2], header[3]};
        const std::uint64_t length = base::little_endian_32(header, 4);
        if (length > in.remaining())
            base::fatal(base::MSG_READ_SOURCE, path);

        if (blocks == 0) {
            // The tape starts with its header block: the major and minor version, then text.
            // Version 1 of any revision is read; a later revision only adds blocks.
            std::array<std::uint8_t, 1> major{};
            if (tag != TAG_HEADER || length < 2 || !in.read(major) || major[0] != 1 ||
                !in.skip(length - 1))
                base::fatal(base::MSG_READ_SOURCE, path);
            continue;
        }
        if (tag != TAG_DATA) {  // Pulses, pauses, stops, browse points and unknown blocks.
            if (!in.skip(length))
                base::fatal(base::MSG_READ_SOURCE, path);
            continue;
        }
        std::array<std::uint8_t, DATA_FIELDS_BYTES> fields{};
        if (length < fields.size() || !in.read(fields))
            base::fatal(base::MSG_READ_SOURCE, path);
        const std::uint64_t bits = base::little_endian_32(fields, 0) & BIT_COUNT_MASK;
        const std::uint64_t pulse_bytes = 2 * (std::uint64_t{fields[6]} + fields[7]);
        const std::uint64_t data_bytes = (bits + 7) / 8;
        if (pulse_bytes + data_bytes > length - fields.size())
            base::fatal(base::MSG_READ_SOURCE, path);
        if (data_bytes == TAPE_SCREEN_BYTES) {
            screen::ScreenImage screen{};
            if (!in.skip(pulse_bytes + 1) || !in.read(screen))  // The pulses and the flag byte.
                base::fatal(base::MSG_READ_SOURCE, path);
            return screen;
        }
        if (!in.skip(length - fields.size()))
            base::fatal(base::MSG_READ_SOURCE, path);
    }
    base::error(base::MSG_PZX_WITHOUT_SCREEN);
}

}  // namespace mirva::containers
