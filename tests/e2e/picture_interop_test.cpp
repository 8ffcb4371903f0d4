// Pictures written with --scale, --border and --flash, as PNG, GIF and PCX, checked by
// independent readers: Pillow (every pixel and every frame), ImageMagick's identify, pngcheck
// and giflib's gif2rgb.
#include "screen/palette.h"
#include "screen/render.h"
#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Checks each written file against its case, named on the command line as
// FILE:SCALE:BORDER:FRAMES: BORDER is the border's palette index, or -1 without a border; the
// expected phases are FILE.phase0 (and FILE.phase1 for two frames), 256x192 palette indices as
// mirva's own render_screen makes them. The picture expected is built here from them; prints
// one line "ok FILE" for each file that matches in every respect.
const std::string PILLOW_CHECK = R"(
import subprocess, sys
from PIL import Image
SPECTRUM = [(0,0,0),(0,0,200),(200,0,0),(200,0,200),(0,200,0),(0,200,200),(200,200,0),
            (200,200,200),(0,0,0),(0,0,252),(252,0,0),(252,0,252),(0,252,0),(0,252,252),
            (252,252,0),(252,252,252)]
def expected(phase, scale, border):
    left, top = (32, 24) if border >= 0 else (0, 0)
    width, height = (256 + 2 * left) * scale, (192 + 2 * top) * scale
    rows = []
    for y in range(height):
        line = y // scale - top
        row = bytearray()
        for x in range(width):
            column = x // scale - left
            inside = 0 <= line < 192 and 0 <= column < 256
            row.append(phase[line * 256 + column] if inside else border)
        rows.append(bytes(row))
    return (width, height), b''.join(rows)
def rgb(indices):
    return b''.join(bytes(SPECTRUM[i]) for i in indices)
cases = [argument.split(':') for argument in sys.argv[1:]]
identified = subprocess.run(['identify', '-format', '%f %m %w %h\n'] + [c[0] for c in cases],
                            capture_output=True, text=True, check=True).stdout.split('\n')
for name, scale, border, frames in cases:
    scale, border, frames = int(scale), int(border), int(frames)
    phases = [open(name + '.phase%d' % k, 'rb').read() for k in range(frames)]
    size, pixels = expected(phases[0], scale, border)
    image = Image.open(name)
    assert image.size == size, (name, image.size, size)
    assert image.mode == 'P', (name, image.mode)
    palette = image.getpalette()
    used = max(pixels) + 1
    assert [tuple(palette[3 * i:3 * i + 3]) for i in range(used)] == SPECTRUM[:used], name
    assert image.tobytes() == pixels, name
    kind = name.rsplit('.', 1)[1].upper()
    assert '%s %s %d %d' % (name, kind, size[0], size[1]) in identified, (name, identified)
    if frames == 2:
        assert image.n_frames == 2, (name, image.n_frames)
        assert image.info.get('loop') == 0, (name, image.info)
        for k in range(2):
            image.seek(k)
            assert image.info.get('duration') == 320, (name, k, image.info)
            assert image.convert('RGB').tobytes() == rgb(expected(phases[k], scale, border)[1]), (name, k)
    else:
        assert getattr(image, 'n_frames', 1) == 1, name
    print('ok', name)
)";

struct Case {
    std::string source;  // card.sna (border 2), random.scr or zero.scr (no border).
    std::vector<std::string> options;
    std::vector<std::string> kinds;  // Destinations written with these options.
};

TEST(PictureInterop, ScaledBorderedAndFlashingPicturesReadEverywhere) {
    TemporaryDirectory dir;
    const auto card = make_test_card();
    const auto random = make_random_screen(21);
    write_file(dir / "card.sna", make_sna(card, 2));
    write_file(dir / "random.scr", bytes_of(random));
    write_file(dir / "zero.scr", Bytes(6912, 0));
    const std::vector<Case> cases{
        {"card.sna", {}, {"png", "gif", "pcx"}},
        {"card.sna", {"--scale=2"}, {"png", "gif", "pcx"}},
        {"card.sna", {"--border"}, {"png", "gif", "pcx"}},
        {"card.sna", {"--flash"}, {"png", "gif"}},
        {"card.sna", {"-b", "--border", "--flash", "--scale=3"}, {"png", "gif"}},
        {"card.sna", {"--flash", "-i", "--scale=8"}, {"png", "gif"}},
        {"random.scr", {"--scale=4", "--border"}, {"png", "gif", "pcx"}},
        {"random.scr", {"-b", "-i"}, {"png"}},
        {"zero.scr", {"--flash", "--border"}, {"png", "gif"}},
        {"zero.scr", {}, {"png"}},
    };
    std::vector<std::string> checks;
    std::vector<std::string> pngs;
    std::vector<std::string> gifs;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        const screen::ScreenImage& screen = c.source == "card.sna"     ? card
                                            : c.source == "random.scr" ? random
                                                                       : screen::ScreenImage{};
        auto has = [&](const std::string& option) {
            return std::find(c.options.begin(), c.options.end(), option) != c.options.end();
        };
        int scale = 1;
        for (const auto& option : c.options)
            if (option.starts_with("--scale="))
                scale = std::stoi(option.substr(8));
        const bool bw = has("-b");
        const bool inverse = has("-i");
        const int border = has("--border") ? (c.source == "card.sna" ? 2 : 0) : -1;
        // Two frames where some cell flashes: the test card has flashing cells, the others none.
        const int frames = has("--flash") && c.source == "card.sna" ? 2 : 1;
        for (const auto& kind : c.kinds) {
            const std::string name = "out" + std::to_string(n) + "." + kind;
            auto arguments = c.options;
            arguments.insert(arguments.end(), {c.source, name});
            expect_success(run_mirva(dir, arguments));
            for (int phase = 0; phase < frames; ++phase) {
                auto rendered = screen::render_screen(screen, bw, inverse, phase == 1);
                write_file(dir / (name + ".phase" + std::to_string(phase)),
                           Bytes(rendered.pixels.begin(), rendered.pixels.begin() + 49152));
            }
            checks.push_back(name + ":" + std::to_string(scale) + ":" + std::to_string(border) +
                             ":" + std::to_string(frames));
            if (kind == "png")
                pngs.push_back(name);
            if (kind == "gif")
                gifs.push_back(name);
        }
    }

    auto arguments = checks;
    arguments.insert(arguments.begin(), {"-c", PILLOW_CHECK});
    auto result = run_program("/usr/bin/python3", arguments, dir.path(), {.timeout_seconds = 300});
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    for (const auto& check : checks) {
        const std::string name = check.substr(0, check.find(':'));
        EXPECT_NE(result.standard_output.find("ok " + name + "\n"), std::string::npos) << name;
    }

    auto pngcheck = run_program("/usr/bin/pngcheck", pngs, dir.path());
    EXPECT_EQ(pngcheck.exit_status, 0) << pngcheck.standard_output;
    for (const auto& gif : gifs) {
        auto giflib = run_program("/usr/bin/gif2rgb", {"-1", "-o", gif + ".rgb", gif}, dir.path());
        EXPECT_EQ(giflib.exit_status, 0) << gif << ": " << giflib.standard_error;
        EXPECT_GT(read_file(dir / (gif + ".rgb")).size(), 3u * 49152 - 1) << gif;
    }
}

}  // namespace
}  // namespace mirva::testing
