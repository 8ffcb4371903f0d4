#include "containers/scr.h"

#include <algorithm>
#include <array>
#include <optional>

#include "base/failure.h"

namespace mirva::containers {

namespace {

// A file saved by +3DOS starts with a 128-byte header: "PLUS3DOS", 0x1A, then the file's
// details, which are not needed.
inline constexpr std::array<std::uint8_t, 9> PLUS3DOS_SIGNATURE{'P', 'L', 'U', 'S', '3',
                                                                'D', 'O', 'S', 0x1A};
inline constexpr std::size_t PLUS3DOS_HEADER_BYTES = 128;

}  // namespace

screen::ScreenImage read_scr_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& /*border_colour*/) {
    std::array<std::uint8_t, PLUS3DOS_SIGNATURE.size()> start{};
    const bool plus3dos = source.read_all(start) && start == PLUS3DOS_SIGNATURE;
    const std::uint64_t offset = plus3dos ? PLUS3DOS_HEADER_BYTES : 0;
    if (!source.seek(offset))
        base::fatal(base::MSG_READ_SOURCE, path);

    // Exactly the bitmap, after the header if there is one: the attributes are those the
    // Spectrum starts with. Any other length holds the whole screen at its start, and what
    // follows it is not looked at.
    screen::ScreenImage screen{};
    std::optional<std::uint64_t> size = source.size();
    if (size && *size >= offset && *size - offset == screen::BITMAP_BYTES) {
        base::read_exact(source, std::span(screen).first(screen::BITMAP_BYTES),
                         base::MSG_READ_SOURCE, path);
        std::fill(screen.begin() + screen::BITMAP_BYTES, screen.end(), SCR_BITMAP_ATTRIBUTE);
        return screen;
    }
    base::read_exact(source, screen, base::MSG_READ_SOURCE, path);
    return screen;
}

std::vector<std::uint8_t> write_scr_screen(const screen::ScreenImage& screen,
                                           std::uint8_t /*border_colour*/,
                                           const screen::Options& /*options*/,
                                           screen::PictureSize /*size*/) {
    return {screen.begin(), screen.end()};
}

}  // namespace mirva::containers
