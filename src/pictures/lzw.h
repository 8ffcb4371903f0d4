#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace mirva::pictures {

/// 2 to the power i for i = 0..12: colour-table sizes, clear codes and code-size limits.
inline constexpr std::array<std::int32_t, 13> power_of_two{1,   2,   4,   8,    16,   32,  64,
                                                           128, 256, 512, 1024, 2048, 4096};

inline constexpr int MAX_CODE_BITS = 12;
inline constexpr std::size_t LZW_TABLE_ENTRIES = 4096;
static_assert(LZW_TABLE_ENTRIES == 1u << MAX_CODE_BITS);

/// Marks the prefix of a root, a string of one byte.
inline constexpr std::int32_t NO_PREFIX = -1;

/// One dictionary entry: the code of the string without its last byte, and that last byte.
struct LzwEntry {
    std::int32_t prefix = NO_PREFIX;
    std::uint8_t suffix = 0;
};

/// The LZW dictionary shared by the GIF reader and writer. Codes 0..2^n - 1 are the roots of an
/// n-bit alphabet, 2^n is the clear code, 2^n + 1 the end code, and added entries follow.
struct LzwTable {
    std::array<LzwEntry, LZW_TABLE_ENTRIES> entries{};
    /// expand_code writes a string here from its end backwards: it occupies
    /// string_stack[stack_start .. 4095].
    std::array<std::uint8_t, LZW_TABLE_ENTRIES> string_stack{};
    std::size_t stack_start = 0;
};

/// Sets entries 0..2^root_bits - 1 to the roots and every other entry to an empty root of byte 0.
void reset_lzw_table(LzwTable& table, int root_bits);

/// Takes a code below 4096; writes its string into the string stack and sets stack_start. A
/// prefix chain longer than the stack (only a damaged stream makes a loop) is cut at 4096 bytes.
void expand_code(LzwTable& table, std::int32_t code);

/// Returns the code of the entry {prefix, byte} among codes first..last scanned upwards, the
/// root byte itself when prefix is NO_PREFIX, or -1 when there is none.
std::int32_t find_entry(const LzwTable& table, std::int32_t prefix, std::uint8_t byte,
                        std::int32_t first, std::int32_t last);

/// Takes a GIF code stream (codes of root_bits + 1 up to 12 bits, least significant bit first),
/// the root size 1..8 and the output buffer; decodes until the end code, until the output is
/// full or until the stream has no whole code left, and returns the number of pixels written.
/// The first byte of the string expanded last stays at table.string_stack[table.stack_start].
/// Fails with "Error leyendo datos del fichero" when the first code, or the first after a clear
/// code, is not yet in the table.
std::size_t decode_lzw(std::span<const std::uint8_t> codes, int root_bits, LzwTable& table,
                       std::span<std::uint8_t> pixels);

}  // namespace mirva::pictures
