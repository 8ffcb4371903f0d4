#include "pictures/lzw.h"

#include <algorithm>
#include <cassert>

#include "base/failure.h"

namespace mirva::pictures {

namespace {

// Takes the code of size bits at bit position bit from a three-byte little-endian window; bytes
// past the end of the stream count as 0. A code of up to 12 bits starting at any bit of a byte
// lies within the window.
std::int32_t fetch_code(std::span<const std::uint8_t> codes, std::size_t bit, int size) {
    std::size_t first = bit / 8;
    std::uint32_t window = 0;
    for (std::size_t k = 0; k < 3 && first + k < codes.size(); ++k)
        window |= static_cast<std::uint32_t>(codes[first + k]) << (8 * k);
    auto mask = static_cast<std::uint32_t>(power_of_two[static_cast<std::size_t>(size)] - 1);
    return static_cast<std::int32_t>((window >> (bit % 8)) & mask);
}

// Copies the string expanded last to pixels at out, as far as pixels reach; returns the new out.
std::size_t emit_string(const LzwTable& table, std::span<std::uint8_t> pixels, std::size_t out) {
    auto string = std::span(table.string_stack).subspan(table.stack_start);
    std::size_t count = std::min(string.size(), pixels.size() - out);
    std::copy_n(string.begin(), count, pixels.begin() + static_cast<std::ptrdiff_t>(out));
    return out + count;
}

}  // namespace

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

std::size_t decode_lzw(std::span<const std::uint8_t> codes, int root_bits, LzwTable& table,
                       std::span<std::uint8_t> pixels) {
    reset_lzw_table(table, root_bits);
    // Until a string is expanded, the byte that fills a short picture is 0.
    table.stack_start = LZW_TABLE_ENTRIES - 1;
    table.string_stack[table.stack_start] = 0;

    const std::int32_t clear = power_of_two[static_cast<std::size_t>(root_bits)];
    const std::int32_t end = clear + 1;
    const std::size_t total_bits = codes.size() * 8;
    std::int32_t next = clear + 2;
    int size = root_bits + 1;
    std::int32_t old = -1;
    std::size_t bit = 0;
    std::size_t out = 0;

    // Entries are added only while the table has room: a stream that goes on after entry 4095
    // without a clear code keeps the table as it is, with 12-bit codes.
    auto add_entry = [&](std::int32_t prefix) {
        if (static_cast<std::size_t>(next) >= LZW_TABLE_ENTRIES)
            return;
        table.entries[static_cast<std::size_t>(next)] = {prefix,
                                                         table.string_stack[table.stack_start]};
        ++next;
        if (next == power_of_two[static_cast<std::size_t>(size)] && size < MAX_CODE_BITS)
            ++size;
    };

    // The stream ends at the end code, or when no whole code is left in it: the bits of a last
    // partial code are padding.
    while (out < pixels.size() && total_bits - bit >= static_cast<std::size_t>(size)) {
        std::int32_t code = fetch_code(codes, bit, size);
        bit += static_cast<std::size_t>(size);
        if (code == clear) {
            // The entries stay; codes from clear + 2 up are simply defined again.
            size = root_bits + 1;
            next = clear + 2;
            old = -1;
            continue;
        }
        if (code == end)
            break;
        if (code < next) {
            expand_code(table, code);
            out = emit_string(table, pixels, out);
            if (old != -1)
                add_entry(old);
        } else {
            // A code not yet defined is the previous string plus its own first byte; a code above
            // next is taken as next.
            if (old == -1)
                base::error(base::MSG_READ_DATA);
            expand_code(table, old);
            add_entry(old);
            out = emit_string(table, pixels, out);
            if (out < pixels.size())
                pixels[out++] = table.string_stack[table.stack_start];
        }
        old = code;
    }
    return out;
}

}  // namespace mirva::pictures
