// The steps of a photo's conversion in process: the area average of a 4000x3000 picture and of
// the 500x375 a JPEG decoder gives at 1/8 of it, and the fit of a 256x192 picture without a
// palette. The whole job, decoders included, is timed by scripts/bench.sh.
#include <benchmark/benchmark.h>

#include "bench_inputs.h"
#include "screen/area_scaler.h"
#include "screen/rgb_fit.h"
#include "screen/rgb_picture.h"

namespace {

using namespace mirva;

std::vector<std::uint8_t> gradient_row(int width, int y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x) {
        row.insert(row.end(),
                   {static_cast<std::uint8_t>(x * 255 / width), static_cast<std::uint8_t>(y % 256),
                    static_cast<std::uint8_t>((x ^ y) & 0xFF)});
    }
    return row;
}

void area_scaler(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(gradient_row(width, y));
    for (auto _ : state) {
        screen::AreaScaler scaler(width, height, screen::fitted_size(width, height));
        for (int y = 0; y < height; ++y)
            scaler.add_row(y, rows[static_cast<std::size_t>(y)]);
        auto picture = scaler.finish({});
        benchmark::DoNotOptimize(picture.rgb.data());
    }
    state.counters["source_pixels"] = static_cast<double>(width) * height;
}

void rgb_fit(benchmark::State& state) {
    screen::Palette palette{};
    const screen::Picture indexed = bench::photo_picture(palette);
    const screen::RgbPicture picture = screen::widen_picture(indexed, palette);
    for (auto _ : state) {
        auto fitted = screen::rgb_picture_to_screen(picture, screen::Options{});
        benchmark::DoNotOptimize(fitted.data());
    }
}

}  // namespace

BENCHMARK(area_scaler)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(rgb_fit)->Unit(benchmark::kMicrosecond);
