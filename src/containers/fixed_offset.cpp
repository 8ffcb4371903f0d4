#include "containers/fixed_offset.h"

#include <array>
#include <optional>

#include "cli/failure.h"

namespace mirva::containers {

namespace {

// Offset of the border byte, or nothing for a kind that has none.
std::optional<std::uint64_t> border_offset(cli::FileKind kind) {
    switch (kind) {
        case cli::KIND_SP:
            return 34;  // Byte 34 of the 38-byte header.
        case cli::KIND_SNA:
            return 26;  // The last byte of the 27-byte header.
        case cli::KIND_SIT:
            return 27;  // The last byte of the 28-byte header.
        default:
            return std::nullopt;
    }
}

}  // namespace

std::uint64_t screen_offset(cli::FileKind kind) {
    switch (kind) {
        case cli::KIND_SP:
            return 38;
        case cli::KIND_SNA:
            return 27;  // Memory from 16384 follows the header, so the screen comes first.
        case cli::KIND_SIT:
            return 28 + 16384;  // Memory from address 0 follows the header.
        default:
            return 0;
    }
}

void read_border_byte(cli::ByteSource& source, cli::FileKind kind, std::string_view path,
                      std::uint8_t& border_colour) {
    auto offset = border_offset(kind);
    if (!offset)
        return;
    std::array<std::uint8_t, 1> byte{};
    if (!source.seek(*offset) || !source.read_all(byte))
        cli::fatal(cli::MSG_READ_SOURCE, path);
    border_colour = byte[0];
}

screen::ScreenImage read_fixed_offset_screen(cli::ByteSource& source, cli::FileKind kind,
                                             std::string_view path, std::uint8_t& border_colour) {
    screen::ScreenImage screen{};
    if (!source.seek(screen_offset(kind)) || !source.read_all(screen))
        cli::fatal(cli::MSG_READ_SOURCE, path);
    read_border_byte(source, kind, path, border_colour);
    return screen;
}

}  // namespace mirva::containers
