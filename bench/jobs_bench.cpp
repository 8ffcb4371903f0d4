// Every step of a conversion in process, on the test card, a title screen, the random worst
// case and the all-zero screen: rendering, the PCX and PNG writers, the GIF writer with --flash
// and --scale=4, the GIF and PCX readers, the Z80 expansion, the tape readers and the fit of a
// picture to a screen.
#include <benchmark/benchmark.h>

#include "base/byte_source.h"
#include "bench_inputs.h"
#include "containers/pzx.h"
#include "containers/tzx.h"
#include "containers/z80.h"
#include "pictures/gif_reader.h"
#include "pictures/gif_writer.h"
#include "pictures/pcx.h"
#include "pictures/png_writer.h"
#include "screen/fit.h"
#include "screen/render.h"
#include "support/tape_blocks.h"
#include "support/z80_snapshot.h"

namespace {

using namespace mirva;

using testing::pack_z80;

// A version-3 snapshot: the 30-byte header, an additional header of 54 bytes, a packed page 4
// of zeros and the packed page 8, which starts with the screen.
std::vector<std::uint8_t> z80_snapshot(const screen::ScreenImage& screen) {
    const std::vector<std::uint8_t> zeros(16384, 0);
    return testing::make_z80_paged(
        54, 0,
        {testing::packed_block(4, zeros), testing::packed_block(8, testing::screen_page(screen))});
}

void render(benchmark::State& state, const screen::ScreenImage& screen) {
    for (auto _ : state) {
        auto picture = screen::render_screen(screen, false, false, false);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}

void pcx_encoder(benchmark::State& state, const screen::ScreenImage& screen) {
    const auto pixels = bench::screen_pixels(screen);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto file = pictures::encode_pcx(pixels);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

// A writer of the kind table under the options, as the driver calls it.
template <auto Writer, screen::Options Chosen>
void writer(benchmark::State& state, const screen::ScreenImage& screen) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto file = Writer(screen, 1, Chosen, screen::written_size(Chosen));
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void gif_reader(benchmark::State& state, const screen::ScreenImage& screen) {
    const auto file = pictures::write_gif_screen(screen, 0, {}, {});
    screen::Palette palette{};
    for (auto _ : state) {
        base::MemorySource source(file);
        auto picture = pictures::read_gif_picture(source, palette);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void pcx_reader(benchmark::State& state, const screen::ScreenImage& screen) {
    const auto file = pictures::write_pcx_screen(screen, 0, {}, {});
    screen::Palette palette{};
    for (auto _ : state) {
        base::MemorySource source(file);
        auto picture = pictures::read_pcx_picture(source, palette);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void z80_expansion(benchmark::State& state, const screen::ScreenImage& screen) {
    const auto packed = pack_z80(screen);
    screen::ScreenImage unpacked{};
    for (auto _ : state) {
        bool whole = containers::unpack_z80_block(packed, unpacked);
        benchmark::DoNotOptimize(whole);
        benchmark::DoNotOptimize(unpacked.data());
    }
    if (unpacked != screen)
        state.SkipWithError("the expansion does not give the screen back");
    state.counters["packed_bytes"] = static_cast<double>(packed.size());
}

// The whole reader of a version-3 snapshot in memory: the header, a page skipped, the screen's
// page expanded.
void z80_reader(benchmark::State& state, const screen::ScreenImage& screen) {
    const auto file = z80_snapshot(screen);
    std::uint8_t border = 0;
    screen::ScreenImage read{};
    for (auto _ : state) {
        base::MemorySource source(file);
        read = containers::read_z80_screen(source, "bench.z80", border);
        benchmark::DoNotOptimize(read.data());
    }
    if (read != screen)
        state.SkipWithError("the reader does not give the screen back");
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

// The tape readers in memory: a header block and the screen's block, as tapes hold a screen; for
// the TZX, a tape whose screen is its loading screen too, after a block of another length.
void tzx_reader(benchmark::State& state, const screen::ScreenImage& screen) {
    using namespace testing;
    const Bytes header = tzx_standard_block(Bytes(19, 0));
    const std::vector<std::pair<std::string, Bytes>> tapes{
        {"data", tzx_header() + header + tzx_standard_block(screen_data(screen))},
        {"loading", tzx_header() + header + tzx_standard_block(Bytes(1000, 0)) +
                        tzx_screen_info_block(screen, 0)}};
    const Bytes& file = tapes[static_cast<std::size_t>(state.range(0))].second;
    std::uint8_t border = 0;
    screen::ScreenImage read{};
    for (auto _ : state) {
        base::MemorySource source(file);
        read = containers::read_tzx_screen(source, "bench.tzx", border);
        benchmark::DoNotOptimize(read.data());
    }
    if (read != screen)
        state.SkipWithError("the reader does not give the screen back");
    state.SetLabel(tapes[static_cast<std::size_t>(state.range(0))].first);
}

void pzx_reader(benchmark::State& state, const screen::ScreenImage& screen) {
    using namespace testing;
    const Bytes file =
        pzx_header() + pzx_data_block(Bytes(19, 0)) + pzx_data_block(screen_data(screen));
    screen::ScreenImage read{};
    for (auto _ : state) {
        base::MemorySource source(file);
        read = containers::read_pzx_screen(source, "bench.pzx");
        benchmark::DoNotOptimize(read.data());
    }
    if (read != screen)
        state.SkipWithError("the reader does not give the screen back");
}

// The fit works on its picture in place, so each run starts from a fresh copy (about 2 us of
// the time).
void run_fit(benchmark::State& state, const screen::Picture& picture,
             const screen::Palette& palette) {
    for (auto _ : state) {
        screen::Picture working = picture;
        auto fitted = screen::picture_to_screen(working, palette);
        benchmark::DoNotOptimize(fitted.data());
    }
}

void fit(benchmark::State& state, const screen::ScreenImage& screen) {
    run_fit(state, screen::render_screen(screen, false, false, false),
            bench::spectrum_file_palette());
}

void fit_photo(benchmark::State& state) {
    screen::Palette palette{};
    auto picture = bench::photo_picture(palette);
    run_fit(state, picture, palette);
}

using ScreenBenchmark = void (*)(benchmark::State&, const screen::ScreenImage&);

bool register_all() {
    const std::pair<const char*, ScreenBenchmark> benchmarks[] = {
        {"render_screen", render},
        {"encode_pcx", pcx_encoder},
        {"read_gif_picture", gif_reader},
        {"read_pcx_picture", pcx_reader},
        {"unpack_z80_block", z80_expansion},
        {"read_z80_screen", z80_reader},
        {"picture_to_screen", fit},
        {"read_pzx_screen", pzx_reader},
        {"write_png_screen", writer<pictures::write_png_screen, screen::Options{}>},
        {"write_png_screen_flash",
         writer<pictures::write_png_screen, screen::Options{.flash = true}>},
        {"write_png_screen_scale4",
         writer<pictures::write_png_screen, screen::Options{.scale = 4}>},
        {"write_gif_screen_flash",
         writer<pictures::write_gif_screen, screen::Options{.flash = true}>},
        {"write_gif_screen_scale4",
         writer<pictures::write_gif_screen, screen::Options{.scale = 4}>},
    };
    for (const auto& [name, function] : benchmarks) {
        for (const auto& input : bench::bench_screens()) {
            benchmark::RegisterBenchmark((std::string(name) + "/" + input.name).c_str(), function,
                                         input.screen)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    for (const auto& input : bench::bench_screens()) {
        benchmark::RegisterBenchmark(("read_tzx_screen/" + input.name).c_str(), tzx_reader,
                                     input.screen)
            ->Arg(0)
            ->Arg(1)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("picture_to_screen/photo_256_colours", fit_photo)
        ->Unit(benchmark::kMicrosecond);
    return true;
}

[[maybe_unused]] const bool registered = register_all();

}  // namespace
