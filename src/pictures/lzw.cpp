#include "pictures/lzw.h"

#include <algorithm>
#include <cassert>

#include "base/failure.h"

namespace mirva::pictures {

void reset_lzw_table(LzwTable& table, int root_bits) {
    assert(root_bits >= 1 && root_bits <= 8);
    auto roots = static_cast<std::size_t>(power_of_two[static_cast<std::size_t>(root_bits)]);
    for (std::size_t code = 0; code < LZW_TABLE_ENTRIES; ++code) {
        // Codes from the clear code up are defined by the stream; until then they read as an
        // empty root, so that a damaged stream that refers to one expands to a single 0.
        table.entries[code] = {NO_PREFIX, static_cast<std::uint8_t>(code < roots ? code : 0)};
    }
}

void expand_code(LzwTable& table, std::int32_t code) {
    assert(code >= 0 && static_cast<std::size_t>(code) < LZW_TABLE_ENTRIES);
    // Every prefix stored is NO_PREFIX or a code below 4096, so each step stays in the table; the
    // stack bounds the walk, so a loop of prefixes ends after 4096 bytes.
    std::size_t position = LZW_TABLE_ENTRIES;
    do {
        --position;
        const LzwEntry& entry = table.entries[static_cast<std::size_t>(code)];
        table.string_stack[position] = entry.suffix;
        code = entry.prefix;
    } while (code != NO_PREFIX && position > 0);
    table.stack_start = position;
}

std::int32_t find_entry(const LzwTable& table, std::int32_t prefix, std::uint8_t byte,
                        std::int32_t first, std::int32_t last) {
    // An entry that extends prefix always has a larger code than prefix.
    if (first < prefix)
        first = prefix + 1;
    if (prefix == NO_PREFIX)
        return byte;
    for (std::int32_t code = first; code <= last; ++code) {
        const LzwEntry& entry = table.entries[static_cast<std::size_t>(code)];
        if (entry.prefix == prefix && entry.suffix == byte)
            return code;
    }
    return -1;
}

LzwDecoder::LzwDecoder(LzwTable& table, int root_bits, std::span<std::uint8_t> pixels)
    : table_(table),
      pixels_(pixels),
      root_bits_(root_bits),
      clear_(power_of_two[static_cast<std::size_t>(root_bits)]),
      next_(clear_ + 2),
      size_(root_bits + 1),
      ended_(pixels.empty()) {
    reset_lzw_table(table, root_bits);
    // Until a string is expanded, the byte that fills a short picture is 0.
    table.stack_start = LZW_TABLE_ENTRIES - 1;
    table.string_stack[table.stack_start] = 0;
}

bool LzwDecoder::decode(std::span<const std::uint8_t> bytes) {
    // The bits in hand stay in locals, where the writes of the pixels cannot touch them.
    std::uint32_t bits = bits_;
    int bit_count = bit_count_;
    for (std::uint8_t byte : bytes) {
        if (ended_)
            break;
        // At most 11 bits wait between codes, so a new byte always fits in the 32 bits.
        bits |= static_cast<std::uint32_t>(byte) << bit_count;
        bit_count += 8;
        while (bit_count >= size_ && !ended_) {
            const int size = size_;
            const auto code = static_cast<std::int32_t>(bits & ((1u << size) - 1));
            bits >>= size;
            bit_count -= size;
            take(code);
        }
    }
    bits_ = bits;
    bit_count_ = bit_count;
    return !ended_;
}

// Copies the string expanded last to the pixels, as far as they reach.
void LzwDecoder::emit_string() {
    auto string = std::span(table_.string_stack).subspan(table_.stack_start);
    std::size_t count = std::min(string.size(), pixels_.size() - out_);
    std::copy_n(string.begin(), count, pixels_.begin() + static_cast<std::ptrdiff_t>(out_));
    out_ += count;
}

// Entries are added only while the table has room: a stream that goes on after entry 4095
// without a clear code keeps the table as it is, with 12-bit codes.
void LzwDecoder::add_entry(std::int32_t prefix) {
    if (static_cast<std::size_t>(next_) >= LZW_TABLE_ENTRIES)
        return;
    table_.entries[static_cast<std::size_t>(next_)] = {prefix,
                                                       table_.string_stack[table_.stack_start]};
    ++next_;
    if (next_ == power_of_two[static_cast<std::size_t>(size_)] && size_ < MAX_CODE_BITS)
        ++size_;
}

void LzwDecoder::take(std::int32_t code) {
    if (code == clear_) {
        // The entries stay; codes from clear + 2 up are simply defined again.
        size_ = root_bits_ + 1;
        next_ = clear_ + 2;
        old_ = -1;
        return;
    }
    if (code == clear_ + 1) {  // The end code.
        ended_ = true;
        return;
    }
    if (code < next_) {
        expand_code(table_, code);
        emit_string();
        if (old_ != -1)
            add_entry(old_);
    } else {
        // A code not yet defined is the previous string plus its own first byte; a code above
        // next is taken as next.
        if (old_ == -1)
            base::error(base::MSG_READ_DATA);
        expand_code(table_, old_);
        add_entry(old_);
        emit_string();
        if (out_ < pixels_.size())
            pixels_[out_++] = table_.string_stack[table_.stack_start];
    }
    old_ = code;
    ended_ = out_ == pixels_.size();
}

std::size_t decode_lzw(std::span<const std::uint8_t> codes, int root_bits, LzwTable& table,
                       std::span<std::uint8_t> pixels) {
    LzwDecoder decoder(table, root_bits, pixels);
    (void)decoder.decode(codes);
    return decoder.written();
}

}  // namespace mirva::pictures
