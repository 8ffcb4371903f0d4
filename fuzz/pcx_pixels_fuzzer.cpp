// The PCX pixel decoder alone, with any layout: the first six bytes give the width, the
// height, the bytes per line and the encoding, the rest is the data.
#include <cstdint>
#include <span>
#include <vector>

#include "base/failure.h"
#include "pictures/pcx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    std::span<const std::uint8_t> input(data, size);
    if (input.size() < 6)
        return 0;
    pictures::PcxLayout layout;
    layout.width = input[0] | ((input[1] & 1) << 8);  // 0..511, cut to the limit below.
    if (layout.width > 256)
        layout.width = 256;
    layout.height = input[2] % 193;
    layout.bytes_per_line = static_cast<std::size_t>(input[3] | (input[4] << 8));
    layout.run_length = (input[5] & 1) != 0;
    // Claiming more data than there is makes the decoder meet a short file.
    std::uint64_t claimed = input.size() - 6 + ((input[5] & 2) ? 1000 : 0);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(layout.width * layout.height));
    base::MemorySource source(input.subspan(6));
    try {
        pictures::decode_pcx_pixels(source, claimed, layout, pixels);
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
