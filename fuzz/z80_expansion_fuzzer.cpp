// Expands the input whole, and again in pieces whose sizes come from the first two bytes; the
// two screens must agree, as must the counts.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "containers/z80.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    if (size < 2)
        return 0;
    std::span<const std::uint8_t> all(data, size);
    std::size_t piece = 1 + (all[0] | (all[1] << 8)) % 64;
    auto input = all.subspan(2);

    screen::ScreenImage whole{};
    auto once = containers::unpack_z80_block(input, true, whole, 0);
    bool complete = containers::unpack_z80_block(input, whole);
    if (once.consumed > input.size() || once.produced > whole.size() ||
        complete != (once.produced == whole.size()))
        std::abort();

    screen::ScreenImage pieces{};
    containers::Z80Unpacking total{};
    std::size_t held = 0;  // Bytes of input handed over so far.
    for (;;) {
        held = std::min(input.size(), held + piece);
        bool last = held == input.size();
        auto step = containers::unpack_z80_block(
            input.subspan(total.consumed, held - total.consumed), last, pieces, total.produced);
        total.consumed += step.consumed;
        total.produced = step.produced;
        if (last || total.produced == pieces.size())
            break;
    }
    if (total.produced != once.produced || total.consumed != once.consumed)
        std::abort();
    for (std::size_t i = 0; i < once.produced; ++i) {
        if (pieces[i] != whole[i])
            std::abort();
    }
    return 0;
}
