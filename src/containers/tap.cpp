#include "containers/tap.h"

#include <algorithm>
#include <cstring>

#include "base/buffered_source.h"
#include "base/failure.h"

namespace mirva::containers {

namespace {

// A screen saved to tape: a flag byte, the 6912 screen bytes and a checksum byte.
inline constexpr unsigned SCREEN_BLOCK_LENGTH = 1 + screen::SCREEN_BYTES + 1;
static_assert(SCREEN_BLOCK_LENGTH == 6914);
static_assert(TAP_FILE_BYTES == tap_screen_header.size() + screen::SCREEN_BYTES + 1);
inline constexpr std::size_t LENGTH_BYTES = 2;

// How many bytes at the start of bytes are zero, looked at eight at a time.
std::size_t count_zeros(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t WORD_BYTES = sizeof(std::uint64_t);
    std::size_t count = 0;
    while (bytes.size() - count >= WORD_BYTES) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.subspan(count, WORD_BYTES).data(), WORD_BYTES);
        if (word != 0)
            break;
        count += WORD_BYTES;
    }
    while (count < bytes.size() && bytes[count] == 0)
        ++count;
    return count;
}

// Moves past the blocks that lie wholly in the buffered bytes and are not a screen's; stops at
// the first length that is a screen's or runs past what is buffered.
void skip_buffered_blocks(base::BufferedSource& tape) {
    for (auto held = tape.peek(); held.size() >= LENGTH_BYTES; held = tape.peek()) {
        std::size_t at = 0;
        while (held.size() - at >= LENGTH_BYTES) {
            unsigned length = base::little_endian_16(held, at);
            if (length == SCREEN_BLOCK_LENGTH || length > held.size() - at - LENGTH_BYTES)
                break;
            if (length == 0) {
                // A run of zero bytes is a chain of empty blocks; the block after it starts
                // on the last zero of an odd run, on the first byte past an even one.
                std::size_t zeros = count_zeros(held.subspan(at));
                at += zeros - zeros % LENGTH_BYTES;
                continue;
            }
            at += LENGTH_BYTES + length;
        }
        tape.consume(at);
        if (at < held.size())
            return;
    }
}

}  // namespace

screen::ScreenImage read_tap_screen(base::ByteSource& source, std::string_view path) {
    // Only the block lengths are looked at: the first block of a screen's length is taken,
    // whatever its flag, its checksum or the header before it say.
    base::BufferedSource tape(source);
    while (true) {
        skip_buffered_blocks(tape);
        std::array<std::uint8_t, LENGTH_BYTES> length_bytes{};
        if (!tape.read_all(length_bytes))
            base::fatal(base::MSG_TAP_WITHOUT_SCREEN, path);
        unsigned length = base::little_endian_16(length_bytes);
        if (length == SCREEN_BLOCK_LENGTH) {
            screen::ScreenImage screen{};
            if (!tape.skip(1) || !tape.read_all(screen))  // The flag byte.
                base::fatal(base::MSG_READ_SOURCE, path);
            return screen;
        }
        // A block that runs past the end is not itself an error: the next length is missing.
        if (!tape.skip(length))
            base::fatal(base::MSG_READ_SOURCE, path);
    }
}

std::vector<std::uint8_t> write_tap_screen(const screen::ScreenImage& screen) {
    // The checksum of a block is the XOR of all its bytes before it, the flag 0xFF included.
    std::uint8_t checksum = 0xFF;
    for (std::uint8_t byte : screen)
        checksum ^= byte;
    std::vector<std::uint8_t> tape(TAP_FILE_BYTES);
    auto next = std::copy(tap_screen_header.begin(), tap_screen_header.end(), tape.begin());
    next = std::copy(screen.begin(), screen.end(), next);
    *next = checksum;
    return tape;
}

std::vector<std::uint8_t> write_tap_screen(const screen::ScreenImage& screen,
                                           std::uint8_t /*border_colour*/,
                                           const screen::Options& /*options*/,
                                           screen::PictureSize /*size*/) {
    return write_tap_screen(screen);
}

}  // namespace mirva::containers
