// The LZW decoder on raw code streams: the first byte chooses the root size (1..8), the rest is
// the stream. Every run must stay within the table, the string stack and the output buffer.
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/failure.h"
#include "pictures/lzw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    if (size == 0)
        return 0;
    std::span<const std::uint8_t> input(data, size);
    int root_bits = 1 + input[0] % 8;
    auto table = std::make_unique<pictures::LzwTable>();
    std::vector<std::uint8_t> pixels(64000);
    try {
        std::size_t count = pictures::decode_lzw(input.subspan(1), root_bits, *table, pixels);
        assert(count <= pixels.size());
        assert(table->stack_start < pictures::LZW_TABLE_ENTRIES);
        (void)count;
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
