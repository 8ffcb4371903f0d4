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

/// Decodes a GIF code stream (codes of root_bits + 1 up to 12 bits, least significant bit first)
/// handed over in pieces of any size, as its sub-blocks arrive, into an output buffer: the
/// stream is never held whole. Decoding ends at the end code or when the output is full; a last
/// partial code is padding. The first byte of the string expanded last stays at
/// table.string_stack[table.stack_start].
class LzwDecoder {
public:
    /// Takes the table to use, the root size 1..8 and the output; both must outlive the decoder.
    LzwDecoder(LzwTable& table, int root_bits, std::span<std::uint8_t> pixels);
    /// Takes the next bytes of the stream and decodes every whole code in them; returns false
    /// once decoding has ended, and then looks at no more bytes. Fails with "Error leyendo datos
    /// del fichero" when the first code, or the first after a clear code, is not yet in the table.
    bool decode(std::span<const std::uint8_t> bytes);
    /// The number of pixels written so far.
    std::size_t written() const { return out_; }

private:
    void take(std::int32_t code);
    void add_entry(std::int32_t prefix);
    void emit_string();

    LzwTable& table_;
    std::span<std::uint8_t> pixels_;
    int root_bits_;
    std::int32_t clear_;
    std::int32_t next_;
    int size_;
    std::int32_t old_ = -1;
    std::uint32_t bits_ = 0;  // Bits received but not yet taken as a code, lowest first.
    int bit_count_ = 0;       // How many: fewer than the code size between calls.
    std::size_t out_ = 0;
    bool ended_ = false;
};

/// Takes a whole GIF code stream, the root size 1..8 and the output buffer; decodes it as
/// LzwDecoder does and returns the number of pixels written.
std::size_t decode_lzw(std::span<const std::uint8_t> codes, int root_bits, LzwTable& table,
                       std::span<std::uint8_t> pixels);

}  // namespace mirva::pictures
