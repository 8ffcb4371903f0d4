// The dithering of a 256x192 picture to a screen in each mode, beside the fit without
// dithering of the same picture, on the photograph-like picture and on random colours.
#include <benchmark/benchmark.h>

#include "bench_inputs.h"
#include "screen/dither.h"
#include "screen/fit.h"

namespace {

using namespace mirva;

screen::RgbPicture rgb_photo() {
    screen::Palette palette{};
    const screen::Picture picture = bench::photo_picture(palette);
    screen::RgbPicture rgb{screen::SCREEN_WIDTH, screen::SCREEN_HEIGHT, {}};
    for (std::size_t i = 0; i < screen::SCREEN_PIXELS; ++i) {
        const screen::Rgb& colour = palette[picture.pixels[i]];
        rgb.rgb.insert(rgb.rgb.end(), {static_cast<std::uint8_t>(colour.red << 2),
                                       static_cast<std::uint8_t>(colour.green << 2),
                                       static_cast<std::uint8_t>(colour.blue << 2)});
    }
    return rgb;
}

screen::RgbPicture rgb_random() {
    screen::RgbPicture rgb{screen::SCREEN_WIDTH, screen::SCREEN_HEIGHT, {}};
    std::uint32_t state = 2463534242u;
    for (std::size_t i = 0; i < screen::SCREEN_PIXELS * 3; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        rgb.rgb.push_back(static_cast<std::uint8_t>(state >> 24));
    }
    return rgb;
}

void dither(benchmark::State& state, screen::Dither mode, bool random) {
    const screen::RgbPicture picture = random ? rgb_random() : rgb_photo();
    for (auto _ : state)
        benchmark::DoNotOptimize(screen::dither_to_screen(picture, mode));
}
BENCHMARK_CAPTURE(dither, floyd / photo, screen::Dither::floyd, false);
BENCHMARK_CAPTURE(dither, atkinson / photo, screen::Dither::atkinson, false);
BENCHMARK_CAPTURE(dither, ordered / photo, screen::Dither::ordered, false);
BENCHMARK_CAPTURE(dither, floyd / random, screen::Dither::floyd, true);

void fit_without_dithering(benchmark::State& state) {
    screen::Palette palette{};
    const screen::Picture picture = bench::photo_picture(palette);
    for (auto _ : state) {
        screen::Picture working = picture;
        benchmark::DoNotOptimize(screen::picture_to_screen(working, palette));
    }
}
BENCHMARK(fit_without_dithering);

}  // namespace
