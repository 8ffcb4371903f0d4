#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mirva::testing {

/// A SZX chunk: the 4-letter ID, the 32-bit little-endian length of data, then data.
std::vector<std::uint8_t> szx_chunk(std::string_view id, std::span<const std::uint8_t> data);

/// A SPCR chunk: border, the last writes to ports 0x7FFD, 0x1FFD and 0xFE, 4 reserved bytes.
std::vector<std::uint8_t> spcr_chunk(std::uint8_t border, std::uint8_t port_7ffd);

/// A RAMP chunk of a 16 KB page: flags (bit 0 when compressed), page number, then the page,
/// deflated by zlib at its best compression or stored as it is.
std::vector<std::uint8_t> ramp_chunk(std::uint8_t page, std::span<const std::uint8_t> memory,
                                     bool compressed);

/// A RAMP chunk that holds the given bytes as its compressed data.
std::vector<std::uint8_t> ramp_chunk_raw(std::uint8_t page, std::span<const std::uint8_t> data);

/// The zlib stream of bytes, as a SZX writer stores a compressed page.
std::vector<std::uint8_t> zlib_compress(std::span<const std::uint8_t> bytes);

/// A SZX file of version 1.4 for the machine (1 48K, 2 128K...), with the chunks in order.
std::vector<std::uint8_t> make_szx(std::uint8_t machine,
                                   const std::vector<std::vector<std::uint8_t>>& chunks);

}  // namespace mirva::testing
