#include "containers/sna.h"

#include <array>

#include "base/failure.h"
#include "containers/fixed_offset.h"

namespace mirva::containers {

namespace {

inline constexpr std::uint64_t BANK_BYTES = 16384;
// The 48K part holds banks 5, 2 and the paged bank, from 0x4000 on, after the 27-byte header.
inline constexpr std::uint64_t MEMORY_48K_OFFSET = 27;
inline constexpr std::uint64_t PAGED_BANK_OFFSET = MEMORY_48K_OFFSET + 2 * BANK_BYTES;
// After it: the program counter (2 bytes), the last write to port 0x7FFD and the TR-DOS flag,
// then the other banks in ascending order.
inline constexpr std::uint64_t PORT_7FFD_OFFSET = MEMORY_48K_OFFSET + 3 * BANK_BYTES + 2;
inline constexpr std::uint64_t OTHER_BANKS_OFFSET = PORT_7FFD_OFFSET + 2;
static_assert(OTHER_BANKS_OFFSET + 5 * BANK_BYTES == SNA_128K_BYTES);
static_assert(OTHER_BANKS_OFFSET + 6 * BANK_BYTES == SNA_128K_LONG_BYTES);

inline constexpr std::uint8_t PORT_PAGED_BANK = 0x07;     // Port 0x7FFD: bits 2..0, bank at 0xC000.
inline constexpr std::uint8_t PORT_SHADOW_SCREEN = 0x08;  // Bit 3: the ULA shows bank 7.
inline constexpr std::uint8_t SHADOW_SCREEN_BANK = 7;

}  // namespace

std::optional<std::uint64_t> sna_128k_screen_offset(std::uint64_t size, std::uint8_t port_7ffd) {
    if (size != SNA_128K_BYTES && size != SNA_128K_LONG_BYTES)
        return std::nullopt;
    if ((port_7ffd & PORT_SHADOW_SCREEN) == 0)
        return MEMORY_48K_OFFSET;  // Bank 5, the screen of a 48K SNA too.
    std::uint8_t paged = port_7ffd & PORT_PAGED_BANK;
    if (paged == SHADOW_SCREEN_BANK)
        return PAGED_BANK_OFFSET;
    // Bank 7 comes after every other bank that is neither 5, 2 nor the paged one. Should the size
    // not fit the paged bank, the offset may lie past the end, and the read then fails.
    std::uint64_t offset = OTHER_BANKS_OFFSET;
    for (std::uint8_t bank = 0; bank < SHADOW_SCREEN_BANK; ++bank) {
        if (bank != 5 && bank != 2 && bank != paged)
            offset += BANK_BYTES;
    }
    return offset;
}

screen::ScreenImage read_sna_screen(base::ByteSource& source, std::string_view path,
                                    std::uint8_t& border_colour) {
    FixedOffsetLayout layout = SNA_LAYOUT;
    // A file of any other size, or of unknown size, is a 48K SNA.
    std::optional<std::uint64_t> size = source.size();
    if (size && (*size == SNA_128K_BYTES || *size == SNA_128K_LONG_BYTES)) {
        std::array<std::uint8_t, 1> port{};
        if (!source.seek(PORT_7FFD_OFFSET))
            base::fatal(base::MSG_READ_SOURCE, path);
        base::read_exact(source, port, base::MSG_READ_SOURCE, path);
        layout.screen_offset = *sna_128k_screen_offset(*size, port[0]);
    }
    return read_fixed_offset_screen(source, layout, path, border_colour);
}

}  // namespace mirva::containers
