// PCX files against independent implementations: files mirva writes decode in Pillow and
// ImageMagick to the rendered pixels and the Spectrum colours; 8-bit files those tools write
// (odd widths, 2 to 256 colours) read in mirva to the same pixels and convert as expected.
#include <filesystem>
#include <sstream>

#include "pictures/pcx.h"
#include "screen/fit.h"
#include "screen/framing.h"
#include "screen/render.h"
#include "support/e2e.h"
#include "support/pcx_file.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string PYTHON = "/usr/bin/python3";   // The system's, which has Pillow.
const std::string CONVERT = "/usr/bin/convert";  // ImageMagick.

// Writes "format mode width height", a line feed, the 768 palette bytes and the pixel indices.
const std::string PILLOW_DUMP = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
image.load()
palette = bytes((image.getpalette() or []) + [0] * 768)[:768]
with open(sys.argv[2], "wb") as out:
    out.write(f"{image.format} {image.mode} {image.width} {image.height}\n".encode())
    out.write(palette)
    out.write(image.tobytes())
)";

// Reads "width height colours", a line feed, the colours and the indices; saves a PCX.
const std::string PILLOW_WRITE = R"(
import sys
from PIL import Image
data = open(sys.argv[1], "rb").read()
end = data.index(b"\n")
width, height, colours = map(int, data[:end].split())
palette = data[end + 1:end + 1 + 3 * colours]
image = Image.frombytes("P", (width, height), data[end + 1 + 3 * colours:])
image.putpalette(palette)
image.save(sys.argv[2], format="PCX")
)";

void run_tool(const TemporaryDirectory& dir, const std::string& tool,
              const std::vector<std::string>& arguments) {
    ASSERT_TRUE(std::filesystem::exists(tool)) << tool << " is missing";
    RunResult result = run_program(tool, arguments, dir.path(), {.timeout_seconds = 60});
    ASSERT_EQ(result.exit_status, 0) << tool << ": " << result.standard_error;
}

// A picture of the given size and number of distinct colours: rows alternate between runs and
// noise, and every colour is used where the picture has room.
PcxPicture make_picture(int width, int height, std::size_t colours, std::uint32_t seed) {
    PcxPicture picture{.width = width, .height = height};
    auto noise = make_random_screen(seed);
    std::size_t at = 0;
    auto next = [&] { return noise[at++ % noise.size()]; };
    while (picture.palette.size() < colours) {
        Rgb8 colour{next(), next(), next()};
        if (std::find(picture.palette.begin(), picture.palette.end(), colour) ==
            picture.palette.end())
            picture.palette.push_back(colour);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t value = 0;
        for (int x = 0; x < width; ++x) {
            if (y % 2 == 1 || x % 9 == 0)
                value = static_cast<std::uint8_t>(next() % colours);
            picture.pixels.push_back(value);
        }
    }
    for (std::size_t i = 0; i < colours && i < picture.pixels.size(); ++i)
        picture.pixels[i * picture.pixels.size() / colours] = static_cast<std::uint8_t>(i);
    return picture;
}

screen::Rgb six_bits(const Rgb8& colour) {
    return {static_cast<std::uint8_t>(colour[0] >> 2), static_cast<std::uint8_t>(colour[1] >> 2),
            static_cast<std::uint8_t>(colour[2] >> 2)};
}

struct Case {
    int width;
    int height;
    std::size_t colours;
};

const std::vector<Case> CASES{{1, 1, 2},       {2, 1, 2},      {7, 5, 3},    {33, 17, 16},
                              {129, 3, 17},    {63, 63, 64},   {100, 50, 2}, {255, 191, 256},
                              {256, 192, 200}, {256, 192, 256}};

class PcxInterop : public ::testing::Test {
protected:
    TemporaryDirectory dir;

    screen::Picture read_with_mirva(const std::string& name, screen::Palette& palette) {
        Bytes file = read_file(dir / name);
        base::MemorySource source(file);
        return pictures::read_pcx_picture(source, palette);
    }

    // Checks mirva's file against Pillow's and ImageMagick's decoding of it.
    void expect_decoded(const std::string& name, const screen::Picture& rendered) {
        run_tool(dir, PYTHON, {"-c", PILLOW_DUMP, name, "dump"});
        Bytes dump = read_file(dir / "dump");
        std::string head = "PCX P 256 192\n";
        ASSERT_EQ(dump.size(), head.size() + 768 + 49152);
        EXPECT_EQ(std::string(dump.begin(), dump.begin() + 14), head);
        for (std::size_t entry = 0; entry < 256; ++entry) {
            screen::Rgb colour = entry < 16 ? screen::spectrum_palette[entry] : screen::Rgb{};
            for (std::size_t k = 0; k < 3; ++k) {
                std::uint8_t component = k == 0 ? colour.red : k == 1 ? colour.green : colour.blue;
                ASSERT_EQ(dump[head.size() + 3 * entry + k], component * 4) << entry;
            }
        }
        EXPECT_TRUE(std::equal(rendered.pixels.begin(), rendered.pixels.begin() + 49152,
                               dump.begin() + 14 + 768));

        run_tool(dir, CONVERT, {name, "-depth", "8", "rgb:colours.rgb"});
        Bytes rgb = read_file(dir / "colours.rgb");
        ASSERT_EQ(rgb.size(), 3u * 49152);
        for (std::size_t i = 0; i < 49152; ++i) {
            const auto& colour = screen::spectrum_palette[rendered.pixels[i]];
            ASSERT_EQ(rgb[3 * i], colour.red * 4) << i;
            ASSERT_EQ(rgb[3 * i + 1], colour.green * 4) << i;
            ASSERT_EQ(rgb[3 * i + 2], colour.blue * 4) << i;
        }
    }

    // What mirva must make of the picture as a screen, computed from the test's own pixels and
    // colours.
    screen::ScreenImage expected_screen(const PcxPicture& picture) {
        screen::Picture pixels;
        pixels.width = picture.width;
        pixels.height = picture.height;
        std::copy(picture.pixels.begin(), picture.pixels.end(), pixels.pixels.begin());
        screen::Palette palette{};
        for (std::size_t entry = 0; entry < picture.palette.size(); ++entry)
            palette[entry] = six_bits(picture.palette[entry]);
        screen::crop_to_screen(pixels);
        return screen::picture_to_screen(pixels, palette);
    }
};

TEST_F(PcxInterop, ScreensWrittenByMirvaDecodeInPillowAndImageMagick) {
    auto card = make_test_card();
    write_file(dir / "card.scr", bytes_of(card));
    struct Run {
        std::vector<std::string> arguments;
        std::string written;
        screen::Picture rendered;
    };
    std::vector<Run> runs;
    runs.push_back(
        {{"card.scr", "card.pcx"}, "card.pcx", screen::render_screen(card, false, false, false)});
    runs.push_back(
        {{"-b", "card.scr", "bw.pcx"}, "bw.pcx", screen::render_screen(card, true, false, false)});
    runs.push_back({{"card.scr", "-i", "inv.pcx"},
                    "inv.pcx",
                    screen::render_screen(card, false, true, false)});
    for (std::uint32_t seed : {11u, 12u}) {
        auto noise = make_random_screen(seed);
        std::string name = "noise" + std::to_string(seed);
        write_file(dir / (name + ".scr"), bytes_of(noise));
        runs.push_back({{name + ".scr", name + ".pcx", "-I", "-B"},
                        name + ".pcx",
                        screen::render_screen(noise, true, true, false)});
    }
    for (const auto& run : runs) {
        SCOPED_TRACE(run.written);
        expect_success(run_mirva(dir, run.arguments));
        expect_decoded(run.written, run.rendered);
    }
}

TEST_F(PcxInterop, PillowPicturesReadToTheSamePixelsAndConvert) {
    std::uint32_t seed = 100;
    for (const auto& [width, height, colours] : CASES) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + ", " +
                     std::to_string(colours) + " colours");
        PcxPicture picture = make_picture(width, height, colours, ++seed);
        std::ostringstream head;
        head << width << " " << height << " " << colours << "\n";
        std::string text = head.str();
        Bytes raw(text.begin(), text.end());
        for (const auto& colour : picture.palette)
            raw.insert(raw.end(), colour.begin(), colour.end());
        raw.insert(raw.end(), picture.pixels.begin(), picture.pixels.end());
        write_file(dir / "raw", raw);
        run_tool(dir, PYTHON, {"-c", PILLOW_WRITE, "raw", "pillow.pcx"});

        screen::Palette palette{};
        screen::Picture read = read_with_mirva("pillow.pcx", palette);
        ASSERT_EQ(read.width, width);
        ASSERT_EQ(read.height, height);
        EXPECT_TRUE(std::equal(picture.pixels.begin(), picture.pixels.end(), read.pixels.begin()));
        for (std::size_t entry = 0; entry < colours; ++entry)
            EXPECT_EQ(palette[entry], six_bits(picture.palette[entry])) << entry;

        std::filesystem::remove(dir / "pillow.scr");
        expect_success(run_mirva(dir, {"pillow.pcx", "pillow.scr"}));
        EXPECT_EQ(read_file(dir / "pillow.scr"), bytes_of(expected_screen(picture)));
    }
}

TEST_F(PcxInterop, ImageMagickPicturesReadToTheSameColours) {
    std::uint32_t seed = 200;
    for (const auto& [width, height, colours] : CASES) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + ", " +
                     std::to_string(colours) + " colours");
        PcxPicture picture = make_picture(width, height, colours, ++seed);
        std::string head =
            "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        Bytes ppm(head.begin(), head.end());
        for (auto index : picture.pixels)
            ppm.insert(ppm.end(), picture.palette[index].begin(), picture.palette[index].end());
        write_file(dir / "in.ppm", ppm);
        std::filesystem::remove(dir / "magick.pcx");
        run_tool(dir, CONVERT, {"in.ppm", "-type", "Palette", "PCX:magick.pcx"});

        // ImageMagick orders its palette its own way: compare the colour of every pixel.
        screen::Palette palette{};
        screen::Picture read = read_with_mirva("magick.pcx", palette);
        ASSERT_EQ(read.width, width);
        ASSERT_EQ(read.height, height);
        for (std::size_t i = 0; i < picture.pixels.size(); ++i)
            ASSERT_EQ(palette[read.pixels[i]], six_bits(picture.palette[picture.pixels[i]])) << i;

        if (width == 256 && height == 192) {  // No margins, whose colour is ImageMagick's entry 0.
            std::filesystem::remove(dir / "magick.tap");
            expect_success(run_mirva(dir, {"magick.pcx", "magick.scr"}));
            EXPECT_EQ(read_file(dir / "magick.scr"), bytes_of(expected_screen(picture)));
            std::filesystem::remove(dir / "magick.scr");
        }
    }
}

}  // namespace
}  // namespace mirva::testing
