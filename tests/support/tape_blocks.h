#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::testing {

using Bytes = std::vector<std::uint8_t>;

/// Returns first followed by second.
Bytes operator+(const Bytes& first, const Bytes& second);

/// Returns value as `width` little-endian bytes.
Bytes little_endian_bytes(std::uint64_t value, std::size_t width);

/// Returns what a Spectrum saves for a screen: the flag, the 6912 bytes and the checksum that
/// makes the XOR of all 6914 bytes zero.
Bytes screen_data(const screen::ScreenImage& screen, std::uint8_t flag = 0xFF);

/// Returns the 10-byte header of a TZX file of the version.
Bytes tzx_header(std::uint8_t major = 1, std::uint8_t minor = 20);

/// TZX data blocks, with the ROM timings and a pause of one second: standard speed (ID 0x10,
/// 16-bit length), turbo speed (ID 0x11, 24-bit length) and pure data (ID 0x14, 24-bit length).
Bytes tzx_standard_block(const Bytes& data);
Bytes tzx_turbo_block(const Bytes& data);
Bytes tzx_pure_data_block(const Bytes& data);

/// A TZX Custom Info block (ID 0x35): the 16-byte name, the 32-bit length and the body.
Bytes tzx_custom_info_block(std::string_view name, const Bytes& body);

/// A TZX Custom Info block holding a loading screen: description length, description, border
/// byte, screen.
Bytes tzx_screen_info_block(const screen::ScreenImage& screen, std::uint8_t border,
                            std::string_view description = "");

/// A PZX block: the four-letter tag, the 32-bit length and the body.
Bytes pzx_block(std::string_view tag, const Bytes& body);

/// The PZXT block that starts a PZX file, of the version, with a title.
Bytes pzx_header(std::uint8_t major = 1, std::uint8_t minor = 0);

/// A PZX DATA block of the bytes as the ROM saves them (two pulses of 855 T-states for a 0 bit,
/// two of 1710 for a 1), with bit_count bits, or all the bits of data when 0.
Bytes pzx_data_block(const Bytes& data, std::uint32_t bit_count = 0);

}  // namespace mirva::testing
