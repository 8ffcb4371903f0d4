#include "containers/tap.h"

#include <algorithm>

#include "base/failure.h"

namespace mirva::containers {

namespace {

// A screen saved to tape: a flag byte, the 6912 screen bytes and a checksum byte.
inline constexpr unsigned SCREEN_BLOCK_LENGTH = 1 + screen::SCREEN_BYTES + 1;
static_assert(SCREEN_BLOCK_LENGTH == 6914);
static_assert(TAP_FILE_BYTES == tap_screen_header.size() + screen::SCREEN_BYTES + 1);

}  // namespace

screen::ScreenImage read_tap_screen(base::ByteSource& source, std::string_view path) {
    // Only the block lengths are looked at: the first block of a screen's length is taken,
    // whatever its flag, its checksum or the header before it say.
    while (true) {
        std::array<std::uint8_t, 2> length_bytes{};
        if (!source.read_all(length_bytes))
            base::fatal(base::MSG_TAP_WITHOUT_SCREEN, path);
        unsigned length = length_bytes[0] | (length_bytes[1] << 8);
        if (length == SCREEN_BLOCK_LENGTH) {
            screen::ScreenImage screen{};
            if (!source.skip(1) || !source.read_all(screen))  // The flag byte.
                base::fatal(base::MSG_READ_SOURCE, path);
            return screen;
        }
        // A block that runs past the end is not itself an error: the next length is missing.
        if (!source.skip(length))
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
