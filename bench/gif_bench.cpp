// The GIF encoder with its two dictionary searches, on three kinds of screen: a real-looking
// one (large areas of paper, text-like detail, a few colours), random bytes, and all zero.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "pictures/gif_writer.h"
#include "screen/render.h"

namespace {

using namespace mirva;

// A title screen: a bordered frame of paper, rows of glyph-like bit patterns in a few inks, and
// a striped band, as games often show.
screen::ScreenImage real_looking_screen() {
    screen::ScreenImage screen{};
    for (int y = 0; y < 192; ++y) {
        for (int column = 0; column < 32; ++column) {
            std::uint8_t bits = 0;
            int row = y / 8;
            if (row == 0 || row == 23 || column == 0 || column == 31)
                bits = 0xFF;
            else if (row >= 4 && row < 12 && column >= 4 && column < 28)
                bits = static_cast<std::uint8_t>(((column * 37 + row * 11) >> (y % 8)) * 0x15);
            else if (row >= 16 && row < 18)
                bits = (y % 2) ? 0xF0 : 0x0F;
            screen[screen::bitmap_row_offset(y) + static_cast<std::size_t>(column)] = bits;
        }
    }
    for (std::size_t cell = 0; cell < 768; ++cell) {
        std::size_t row = cell / 32;
        std::uint8_t attribute = 0x38 | 0x01;  // White paper, blue ink.
        if (row >= 4 && row < 12)
            attribute = static_cast<std::uint8_t>(0x40 | (1 << 3) | (2 + row % 5));
        else if (row >= 16 && row < 18)
            attribute = 0x16;  // Red paper, yellow ink.
        screen[screen::BITMAP_BYTES + cell] = attribute;
    }
    return screen;
}

screen::ScreenImage random_screen() {
    screen::ScreenImage screen{};
    std::uint32_t state = 0x9E3779B9u;
    for (auto& byte : screen) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return screen;
}

std::vector<std::uint8_t> rendered(const screen::ScreenImage& screen) {
    auto picture = screen::render_screen(screen, false, false, false);
    return {picture.pixels.begin(), picture.pixels.begin() + 49152};
}

using Encoder = std::vector<std::uint8_t> (*)(std::span<const std::uint8_t>);

void run_encoder(benchmark::State& state, Encoder encoder, const screen::ScreenImage& screen) {
    auto pixels = rendered(screen);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto file = encoder(pixels);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void plain_scan(benchmark::State& state, const screen::ScreenImage& screen) {
    run_encoder(state, pictures::encode_gif_by_scan, screen);
}

void direct_index(benchmark::State& state, const screen::ScreenImage& screen) {
    run_encoder(state, pictures::encode_gif, screen);
}

}  // namespace

BENCHMARK_CAPTURE(plain_scan, real_looking, real_looking_screen())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(direct_index, real_looking, real_looking_screen())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(plain_scan, random, random_screen())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(direct_index, random, random_screen())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(plain_scan, all_zero, screen::ScreenImage{})->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(direct_index, all_zero, screen::ScreenImage{})->Unit(benchmark::kMicrosecond);
