// The GIF encoder against its plain-scan reference and against giflib's encoder, all writing the
// same 256x192 pixels with the 16 Spectrum colours (a code size of 4), on the test card, a title
// screen, the random worst case and the all-zero screen.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "bench_inputs.h"
#include "pictures/gif_writer.h"

#ifdef MIRVA_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace {

using namespace mirva;

using Encoder = std::vector<std::uint8_t> (*)(std::span<const std::uint8_t>);

void run_encoder(benchmark::State& state, Encoder encoder, const screen::ScreenImage& screen) {
    const auto pixels = bench::screen_pixels(screen);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto file = encoder(pixels);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void direct_index(benchmark::State& state, const screen::ScreenImage& screen) {
    run_encoder(state, pictures::encode_gif, screen);
}

void plain_scan(benchmark::State& state, const screen::ScreenImage& screen) {
    run_encoder(state, pictures::encode_gif_by_scan, screen);
}

#ifdef MIRVA_HAVE_GIFLIB
// giflib writes through this function into a vector in memory, as encode_gif returns one.
int append_output(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* file = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    file->insert(file->end(), bytes, bytes + count);
    return count;
}

std::vector<std::uint8_t> encode_with_giflib(std::span<const std::uint8_t> pixels) {
    std::vector<std::uint8_t> file;
    file.reserve(16384);
    int error = 0;
    GifFileType* gif = EGifOpen(&file, append_output, &error);
    std::vector<GifColorType> colours;
    for (const auto& colour : screen::spectrum_palette) {
        colours.push_back({static_cast<GifByteType>(colour.red << 2),
                           static_cast<GifByteType>(colour.green << 2),
                           static_cast<GifByteType>(colour.blue << 2)});
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    bool done =
        gif != nullptr && map != nullptr &&
        EGifPutScreenDesc(gif, screen::SCREEN_WIDTH, screen::SCREEN_HEIGHT, 4, 0, map) == GIF_OK &&
        EGifPutImageDesc(gif, 0, 0, screen::SCREEN_WIDTH, screen::SCREEN_HEIGHT, false, nullptr) ==
            GIF_OK &&
        // giflib takes a mutable line; it only reads it.
        EGifPutLine(gif, const_cast<GifPixelType*>(pixels.data()),
                    static_cast<int>(pixels.size())) == GIF_OK;
    GifFreeMapObject(map);
    if (gif != nullptr && EGifCloseFile(gif, &error) != GIF_OK)
        done = false;
    if (!done)
        file.clear();
    return file;
}

void giflib(benchmark::State& state, const screen::ScreenImage& screen) {
    if (encode_with_giflib(bench::screen_pixels(screen)).empty()) {
        state.SkipWithError("giflib failed to encode");
        return;
    }
    run_encoder(state, encode_with_giflib, screen);
}
#endif

using ScreenBenchmark = void (*)(benchmark::State&, const screen::ScreenImage&);

bool register_all() {
    std::vector<std::pair<const char*, ScreenBenchmark>> encoders{
        {"encode_gif", direct_index},
        {"encode_gif_by_scan", plain_scan},
    };
#ifdef MIRVA_HAVE_GIFLIB
    encoders.emplace_back("giflib_EGifPutLine", giflib);
#endif
    for (const auto& input : bench::bench_screens()) {
        for (const auto& [name, function] : encoders) {
            benchmark::RegisterBenchmark((std::string(name) + "/" + input.name).c_str(), function,
                                         input.screen)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}

[[maybe_unused]] const bool registered = register_all();

}  // namespace
