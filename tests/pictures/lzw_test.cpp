#include "pictures/lzw.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "support/expect_failure.h"
#include "support/gif_bytes.h"

namespace mirva::pictures {
namespace {

using testing::CodeWriter;

std::vector<std::uint8_t> string_of(const LzwTable& table) {
    return {table.string_stack.begin() + static_cast<std::ptrdiff_t>(table.stack_start),
            table.string_stack.end()};
}

struct Decoded {
    std::vector<std::uint8_t> pixels;
    std::uint8_t fill_byte = 0;
};

// Decodes into a buffer of the given size; returns the pixels written.
Decoded decode(const std::vector<std::uint8_t>& codes, int root_bits,
               std::size_t capacity = 64000) {
    auto table = std::make_unique<LzwTable>();
    std::vector<std::uint8_t> pixels(capacity, 0xEE);
    std::size_t count = decode_lzw(codes, root_bits, *table, pixels);
    pixels.resize(count);
    return {pixels, table->string_stack[table->stack_start]};
}

TEST(ExpandCode, WritesTheChainOfPrefixesBackwards) {
    LzwTable table;
    reset_lzw_table(table, 2);
    table.entries[6] = {3, 1};
    table.entries[7] = {6, 2};
    expand_code(table, 7);
    EXPECT_EQ(string_of(table), (std::vector<std::uint8_t>{3, 1, 2}));
    EXPECT_EQ(table.stack_start, 4093u);
    expand_code(table, 2);
    EXPECT_EQ(string_of(table), (std::vector<std::uint8_t>{2}));
}

TEST(ExpandCode, LoopOfPrefixesIsCutAtTheStackSize) {
    LzwTable table;
    reset_lzw_table(table, 2);
    table.entries[6] = {7, 1};
    table.entries[7] = {6, 2};
    expand_code(table, 6);
    EXPECT_EQ(table.stack_start, 0u);
    EXPECT_EQ(table.string_stack[4095], 1);
    EXPECT_EQ(table.string_stack[4094], 2);
    // Entries the stream never defined read as a single byte 0.
    expand_code(table, 4095);
    EXPECT_EQ(string_of(table), (std::vector<std::uint8_t>{0}));
}

TEST(FindEntry, ScansOnlyTheGivenRangeAboveThePrefix) {
    LzwTable table;
    reset_lzw_table(table, 4);
    table.entries[18] = {5, 9};
    table.entries[30] = {20, 9};
    EXPECT_EQ(find_entry(table, NO_PREFIX, 7, 18, 17), 7);
    EXPECT_EQ(find_entry(table, 5, 9, 18, 30), 18);
    EXPECT_EQ(find_entry(table, 5, 9, 19, 30), -1);
    EXPECT_EQ(find_entry(table, 20, 9, 18, 30), 30);
    EXPECT_EQ(find_entry(table, 20, 9, 18, 29), -1);  // Entries from next up are not searched.
    EXPECT_EQ(find_entry(table, 5, 8, 18, 30), -1);
    // The scan starts above the prefix: an entry at or below it cannot extend it.
    table.entries[25] = {26, 4};
    EXPECT_EQ(find_entry(table, 26, 4, 18, 30), -1);
}

TEST(DecodeLzw, TwoColourRootsUseClearFourAndThreeBitCodes) {
    CodeWriter codes;
    codes.put(4, 3);  // Clear.
    codes.put(1, 3);
    codes.put(0, 3);  // Adds 6 = {1, 0}.
    codes.put(6, 3);  // Adds 7 = {0, 1}; next reaches 8, so codes widen to 4 bits.
    codes.put(7, 4);
    codes.put(5, 4);  // End.
    auto result = decode(codes.bytes, 2);
    EXPECT_EQ(result.pixels, (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 1}));
}

TEST(DecodeLzw, CodeEqualToNextRepeatsThePreviousStringsFirstByte) {
    CodeWriter codes;
    codes.put(16, 5);
    codes.put(0, 5);
    codes.put(18, 5);  // Not yet defined: the previous string 0 plus its first byte.
    codes.put(19, 5);  // Again: 0 0 plus 0.
    codes.put(3, 5);
    codes.put(17, 5);
    auto result = decode(codes.bytes, 4);
    EXPECT_EQ(result.pixels, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 3}));
}

TEST(DecodeLzw, UndefinedCodeAtTheStartOrAfterAClearFails) {
    CodeWriter first;
    first.put(16, 5);
    first.put(18, 5);
    EXPECT_FAILURE(decode(first.bytes, 4), base::MSG_READ_DATA);

    CodeWriter after_clear;
    after_clear.put(16, 5);
    after_clear.put(2, 5);
    after_clear.put(16, 5);
    after_clear.put(19, 5);
    EXPECT_FAILURE(decode(after_clear.bytes, 4), base::MSG_READ_DATA);

    // Without a leading clear code the table is set up all the same.
    CodeWriter no_clear;
    no_clear.put(3, 5);
    no_clear.put(17, 5);
    EXPECT_EQ(decode(no_clear.bytes, 4).pixels, (std::vector<std::uint8_t>{3}));
}

TEST(DecodeLzw, StreamWithoutEndCodeStopsWhenNoWholeCodeIsLeft) {
    CodeWriter codes;
    codes.put(16, 5);
    codes.put(7, 5);
    codes.put(9, 5);  // 15 bits: the last byte has one bit of padding.
    auto result = decode(codes.bytes, 4);
    EXPECT_EQ(result.pixels, (std::vector<std::uint8_t>{7, 9}));
    EXPECT_EQ(result.fill_byte, 9);

    EXPECT_EQ(decode({}, 4).pixels.size(), 0u);
    EXPECT_EQ(decode({}, 4).fill_byte, 0);  // No string expanded: a short picture fills with 0.
}

TEST(DecodeLzw, OutputStopsAtTheEndOfTheBuffer) {
    // A run of zeros: each code is one longer than the last, and the last overshoots.
    CodeWriter codes;
    codes.put(4, 3);
    codes.put(0, 3);
    int next = 6;
    int size = 3;
    for (int code = 6; code < 40; ++code) {
        codes.put(code, size);
        if (++next == (1 << size))
            ++size;
    }
    auto result = decode(codes.bytes, 2, 100);
    EXPECT_EQ(result.pixels, std::vector<std::uint8_t>(100, 0));
}

TEST(DecodeLzw, FullTableStaysUnchangedUntilTheNextClearCode) {
    // One code per step, each the last entry (the string 0 0 ... 0 one longer), fills the table
    // of a 2-bit alphabet: entries 6..4095.
    CodeWriter codes;
    codes.put(4, 3);
    codes.put(0, 3);
    int next = 6;
    int size = 3;
    std::size_t expected = 1;
    while (next < 4096) {
        codes.put(next, size);
        expected += static_cast<std::size_t>(next - 6 + 2);
        if (++next == (1 << size) && size < 12)
            ++size;
    }
    // The table is full: 12-bit codes that add nothing. 4095 is the string of 4091 zeros.
    codes.put(1, 12);
    codes.put(4095, 12);
    codes.put(4, 12);  // Clear: back to 3-bit codes.
    codes.put(2, 3);
    codes.put(5, 3);
    auto result = decode(codes.bytes, 2, 20'000'000);
    ASSERT_EQ(result.pixels.size(), expected + 1 + 4091 + 1);
    EXPECT_EQ(result.pixels[expected], 1);
    EXPECT_EQ(result.pixels[expected + 1 + 4090], 0);
    EXPECT_EQ(result.pixels.back(), 2);
}

TEST(DecodeLzw, CodesAboveNextNeverRunAway) {
    // A code above next becomes the prefix of the next entry; crafted streams make prefix
    // chains that loop. Every string stays within the stack and every write within the buffer.
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        CodeWriter codes;
        std::uint32_t state = seed;
        codes.put(0, 3);
        for (int k = 0; k < 3000; ++k) {
            state = state * 1103515245u + 12345u;
            codes.put(static_cast<int>(state >> 16) & 0xFFF, 3 + static_cast<int>(k % 10));
        }
        auto table = std::make_unique<LzwTable>();
        std::vector<std::uint8_t> pixels(64000);
        try {
            std::size_t count = decode_lzw(codes.bytes, 2, *table, pixels);
            EXPECT_LE(count, pixels.size());
            EXPECT_LT(table->stack_start, LZW_TABLE_ENTRIES);
        } catch (const base::Failure& failure) {
            EXPECT_EQ(failure.message(), std::string(base::MSG_READ_DATA));
        }
    }
}

TEST(DecodeLzw, ReadsTheSimpleCodeStreamOfEveryRootSize) {
    for (int root_bits = 2; root_bits <= 8; ++root_bits) {
        std::vector<std::uint8_t> pixels(5000);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint8_t>((i * 37 + i / 11) % (1u << root_bits));
        auto result = decode(testing::plain_lzw_codes(pixels, root_bits), root_bits);
        EXPECT_EQ(result.pixels, pixels) << "root bits " << root_bits;
    }
}

// The decoder keeps its place between pieces: a stream handed over in pieces of any size, even
// one byte at a time, decodes as it does whole.
TEST(LzwDecoder, PiecesOfAnySizeDecodeAsTheWholeStream) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        CodeWriter codes;
        std::uint32_t state = seed;
        const int root_bits = 2 + static_cast<int>(seed % 7);
        std::vector<std::uint8_t> pixels(3000);
        for (auto& pixel : pixels) {
            state = state * 1103515245u + 12345u;
            pixel =
                static_cast<std::uint8_t>((state >> 20) % (seed % 3 == 0 ? 2u : 1u << root_bits));
        }
        auto stream = testing::plain_lzw_codes(pixels, root_bits);
        if (seed % 4 == 0)
            stream.resize(stream.size() / 2);  // Cut: the stream ends without its end code.
        auto whole = decode(stream, root_bits, 2000 + seed * 50);
        for (std::size_t piece :
             {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{255}}) {
            auto table = std::make_unique<LzwTable>();
            std::vector<std::uint8_t> out(2000 + seed * 50, 0xEE);
            LzwDecoder decoder(*table, root_bits, out);
            for (std::size_t at = 0; at < stream.size(); at += piece)
                (void)decoder.decode(
                    std::span(stream).subspan(at, std::min(piece, stream.size() - at)));
            out.resize(decoder.written());
            EXPECT_EQ(out, whole.pixels) << "seed " << seed << " piece " << piece;
            EXPECT_EQ(table->string_stack[table->stack_start], whole.fill_byte);
        }
    }
}

}  // namespace
}  // namespace mirva::pictures
