// GIF files exchanged with independent decoders and encoders: ImageMagick, Pillow and giflib.
#include <sstream>

#include "base/file_source.h"
#include "pictures/gif_reader.h"
#include "screen/palette.h"
#include "screen/render.h"
#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string PYTHON = "/usr/bin/python3";
const std::string CONVERT = "/usr/bin/convert";
const std::string GIF2RGB = "/usr/bin/gif2rgb";

// Decodes each GIF named on the command line with Pillow into NAME.ref: width and height
// (16 bits each, little-endian), the 256-entry palette (3 bytes each, unused entries 0) and the
// palette indices of the pixels.
const std::string PILLOW_DUMP = R"(
import sys
from PIL import Image
for name in sys.argv[1:]:
    image = Image.open(name)
    image.load()
    assert image.mode == 'P', image.mode
    palette = (image.getpalette() or []) + [0] * 768
    width, height = image.size
    header = bytes([width & 255, width >> 8, height & 255, height >> 8])
    with open(name + '.ref', 'wb') as out:
        out.write(header + bytes(palette[:768]) + image.tobytes())
)";

// Writes NAME.gif for each argument NAME:WIDTH:HEIGHT:COLOURS:INTERLACE:EXTENSIONS with Pillow,
// from a seeded pattern of runs and noise that uses every colour. EXTENSIONS 1 is a graphic
// control extension, 2 a comment as well.
const std::string PILLOW_WRITE = R"(
import random, sys
from PIL import Image
for case in sys.argv[1:]:
    name, width, height, colours, interlace, extension = case.split(':')
    width, height, colours = int(width), int(height), int(colours)
    rng = random.Random(case)
    image = Image.new('P', (width, height))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    pixels, value = [], 0
    for i in range(width * height):
        if i < colours:
            value = i
        elif rng.random() < 0.3:
            value = rng.randrange(colours)
        pixels.append(value)
    image.putdata(pixels)
    options = {'optimize': False, 'interlace': interlace == '1'}
    if extension in ('1', '2'):
        options['transparency'] = 0
    if extension == '2':
        options['comment'] = b'mirva'
    image.save(name + '.gif', 'GIF', **options)
)";

struct GifFeatures {
    std::string version;
    std::size_t table_entries = 0;
    int extensions = 0;
    bool interlaced = false;
};

// The facts of a file's layout that a case means to exercise.
GifFeatures features_of(const Bytes& file) {
    GifFeatures features;
    features.version.assign(file.begin() + 3, file.begin() + 6);
    features.table_entries = std::size_t{2} << (file[10] & 7);
    std::size_t at = 13 + 3 * features.table_entries;
    while (at < file.size() && file[at] == 0x21) {
        ++features.extensions;
        at += 2;
        while (at < file.size() && file[at] != 0)
            at += 1 + file[at];
        ++at;
    }
    features.interlaced = at + 9 < file.size() && (file[at + 9] & 0x40);
    return features;
}

void run_tool(const TemporaryDirectory& dir, const std::string& program,
              const std::vector<std::string>& arguments) {
    auto result = run_program(program, arguments, dir.path(), {.timeout_seconds = 120});
    ASSERT_EQ(result.exit_status, 0) << program << ": " << result.standard_error;
}

struct Loaded {
    screen::Picture picture;
    screen::Palette palette{};
};

Loaded read_with_mirva(const std::filesystem::path& path) {
    Loaded loaded;
    auto source = base::open_source(path.string());
    loaded.picture = pictures::read_gif_picture(*source, loaded.palette);
    return loaded;
}

// Screens written by mirva, decoded by Pillow and ImageMagick.
TEST(GifInterop, WrittenScreensDecodeToTheRenderedPixelsAndColours) {
    TemporaryDirectory dir;
    struct Case {
        std::string name;
        screen::ScreenImage screen;
        std::vector<std::string> options;
        bool bw, inverse;
    };
    std::vector<Case> cases{
        {"card", make_test_card(), {}, false, false},
        {"card_bw", make_test_card(), {"-b"}, true, false},
        {"card_inverse", make_test_card(), {"-i"}, false, true},
        {"random", make_random_screen(11), {}, false, false},
        {"random_both", make_random_screen(12), {"-b", "-i"}, true, true},
        {"zero", screen::ScreenImage{}, {}, false, false},
    };
    std::vector<std::string> names;
    for (const auto& c : cases) {
        write_file(dir / (c.name + ".scr"), bytes_of(c.screen));
        auto arguments = c.options;
        arguments.insert(arguments.end(), {c.name + ".scr", c.name + ".gif"});
        expect_success(run_mirva(dir, arguments));
        names.push_back(c.name + ".gif");
    }
    auto dump = names;
    dump.insert(dump.begin(), {"-c", PILLOW_DUMP});
    run_tool(dir, PYTHON, dump);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto rendered = screen::render_screen(c.screen, c.bw, c.inverse, false);
        Bytes indices(rendered.pixels.begin(), rendered.pixels.begin() + 49152);
        Bytes table;
        for (const auto& colour : screen::spectrum_palette)
            table.insert(table.end(), {static_cast<std::uint8_t>(colour.red << 2),
                                       static_cast<std::uint8_t>(colour.green << 2),
                                       static_cast<std::uint8_t>(colour.blue << 2)});

        auto ref = read_file(dir / (c.name + ".gif.ref"));
        ASSERT_EQ(ref.size(), 4 + 768 + 49152u);
        EXPECT_EQ(Bytes(ref.begin(), ref.begin() + 4), (Bytes{0x00, 0x01, 0xC0, 0x00}));
        EXPECT_EQ(Bytes(ref.begin() + 4, ref.begin() + 52), table);
        EXPECT_EQ(Bytes(ref.begin() + 772, ref.end()), indices);

        // ImageMagick and giflib decode it to the colours of the rendered pixels.
        run_tool(dir, CONVERT, {c.name + ".gif", "-depth", "8", "rgb:" + c.name + ".rgb"});
        run_tool(dir, GIF2RGB, {"-1", "-o", c.name + ".giflib", c.name + ".gif"});
        for (std::string decoded : {".rgb", ".giflib"}) {
            auto rgb = read_file(dir / (c.name + decoded));
            ASSERT_EQ(rgb.size(), 3 * 49152u) << decoded;
            std::size_t wrong = 0;
            for (std::size_t i = 0; i < 49152; ++i)
                for (std::size_t k = 0; k < 3; ++k)
                    wrong += rgb[3 * i + k] != table[3 * indices[i] + k];
            EXPECT_EQ(wrong, 0u) << decoded;
        }
    }
}

// Pictures written by Pillow, read by mirva.
TEST(GifInterop, ReadsPillowPicturesToTheirPixelsAndPalette) {
    TemporaryDirectory dir;
    // NAME:WIDTH:HEIGHT:COLOURS:INTERLACE:EXTENSIONS. Pillow writes GIF87a unless an
    // extension is needed, interlaces only pictures at least 16 pixels in each direction, pads
    // tables of fewer than 4 colours to 4, and always writes a minimum code size of 8.
    const std::vector<std::string> cases{
        "a:1:1:2:0:0",       "b:2:3:3:0:1",      "c:17:5:16:0:0",     "d:37:21:16:1:0",
        "e:37:21:17:1:1",    "f:100:50:100:0:1", "g:255:191:256:1:0", "h:256:192:256:0:0",
        "i:256:192:256:1:1", "j:256:192:2:1:0",  "k:129:77:64:0:0",   "l:16:16:5:1:1",
        "m:3:2:2:0:2",       "n:64:48:16:1:2",   "o:256:192:256:0:2",
    };
    auto write = cases;
    write.insert(write.begin(), {"-c", PILLOW_WRITE});
    run_tool(dir, PYTHON, write);
    std::vector<std::string> dump{"-c", PILLOW_DUMP};
    for (const auto& c : cases)
        dump.push_back(c.substr(0, 1) + ".gif");
    run_tool(dir, PYTHON, dump);

    int interlaced = 0, extended = 0, original = 0, two = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c);
        std::string name = c.substr(0, 1);
        auto file = read_file(dir / (name + ".gif"));
        auto features = features_of(file);
        interlaced += features.interlaced;
        extended += features.extensions == 1;
        two += features.extensions == 2;
        EXPECT_EQ(features.extensions, c.back() - '0');
        original += features.version == "87a";
        auto ref = read_file(dir / (name + ".gif.ref"));
        ASSERT_GE(ref.size(), 772u);
        int width = ref[0] | (ref[1] << 8);
        int height = ref[2] | (ref[3] << 8);

        auto loaded = read_with_mirva(dir / (name + ".gif"));
        EXPECT_EQ(loaded.picture.width, width);
        EXPECT_EQ(loaded.picture.height, height);
        EXPECT_EQ(
            Bytes(loaded.picture.pixels.begin(), loaded.picture.pixels.begin() + width * height),
            Bytes(ref.begin() + 772, ref.end()));
        for (std::size_t i = 0; i < features.table_entries; ++i) {
            screen::Rgb expected{static_cast<std::uint8_t>(ref[4 + 3 * i] >> 2),
                                 static_cast<std::uint8_t>(ref[5 + 3 * i] >> 2),
                                 static_cast<std::uint8_t>(ref[6 + 3 * i] >> 2)};
            EXPECT_EQ(loaded.palette[i], expected) << "entry " << i;
        }
    }
    EXPECT_GE(interlaced, 5);
    EXPECT_GE(extended, 5);
    EXPECT_GE(original, 5);
    EXPECT_EQ(two, 3);
}

// Pictures written by ImageMagick, read by mirva: each pixel's palette entry is its colour.
TEST(GifInterop, ReadsImageMagickPicturesToTheirColours) {
    TemporaryDirectory dir;
    struct Case {
        int width, height, colours;
        std::string format;  // GIF87 or GIF.
        bool interlace;
        // Through a PNG with a comment: the GIF gets a graphic control extension, the comment
        // and an application extension of ImageMagick's own, as from most PNG sources.
        bool through_png = false;
    };
    const std::vector<Case> cases{
        {1, 1, 1, "GIF87", false},        {3, 2, 2, "GIF", false},
        {37, 21, 5, "GIF", true},         {64, 33, 16, "GIF87", true},
        {255, 191, 200, "GIF", false},    {256, 192, 256, "GIF", true},
        {256, 192, 256, "GIF87", false},  {101, 13, 2, "GIF87", true},
        {7, 5, 3, "GIF", false, true},    {256, 192, 256, "GIF", true, true},
        {90, 60, 16, "GIF", false, true},
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        std::ostringstream name;
        name << "im" << count++;
        SCOPED_TRACE(name.str());
        // A palette of distinct colours, and pixels that run and jump between them.
        std::vector<screen::Rgb> colours;
        for (int i = 0; i < c.colours; ++i)
            colours.push_back({static_cast<std::uint8_t>(i * 37 % 256),
                               static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i)});
        std::vector<int> pixels(static_cast<std::size_t>(c.width * c.height));
        std::uint32_t state = 2463534242u + count;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            if (static_cast<int>(i) < c.colours)
                pixels[i] = static_cast<int>(i);
            else if (state % 4 == 0)
                pixels[i] = static_cast<int>((state >> 8) % static_cast<std::uint32_t>(c.colours));
            else
                pixels[i] = pixels[i - 1];
        }
        Bytes rgb;
        for (int pixel : pixels) {
            const auto& colour = colours[static_cast<std::size_t>(pixel)];
            rgb.insert(rgb.end(), {colour.red, colour.green, colour.blue});
        }
        write_file(dir / (name.str() + ".rgb"), rgb);
        std::vector<std::string> arguments{"-size",
                                           std::to_string(c.width) + "x" + std::to_string(c.height),
                                           "-depth", "8", "rgb:" + name.str() + ".rgb"};
        if (c.through_png) {
            arguments.insert(arguments.end(), {"-set", "comment", "mirva"});
            arguments.push_back("PNG:" + name.str() + ".png");
            run_tool(dir, CONVERT, arguments);
            arguments = {name.str() + ".png"};
        }
        if (c.interlace)
            arguments.insert(arguments.end(), {"-interlace", "GIF"});
        arguments.push_back(c.format + ":" + name.str() + ".gif");
        run_tool(dir, CONVERT, arguments);

        auto file = read_file(dir / (name.str() + ".gif"));
        auto features = features_of(file);
        EXPECT_EQ(features.version, c.format == "GIF87" ? "87a" : "89a");
        EXPECT_EQ(features.interlaced, c.interlace);
        EXPECT_EQ(features.extensions, c.through_png ? 3 : c.format == "GIF" ? 1 : 0);
        auto loaded = read_with_mirva(dir / (name.str() + ".gif"));
        ASSERT_EQ(loaded.picture.width, c.width);
        ASSERT_EQ(loaded.picture.height, c.height);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            std::size_t index = loaded.picture.pixels[i];
            const auto& expected = colours[static_cast<std::size_t>(pixels[i])];
            ASSERT_LT(index, features.table_entries);
            Bytes entry(file.begin() + static_cast<long>(13 + 3 * index),
                        file.begin() + static_cast<long>(16 + 3 * index));
            wrong += entry != Bytes{expected.red, expected.green, expected.blue};
            wrong +=
                loaded.palette[index] != screen::Rgb{static_cast<std::uint8_t>(expected.red >> 2),
                                                     static_cast<std::uint8_t>(expected.green >> 2),
                                                     static_cast<std::uint8_t>(expected.blue >> 2)};
        }
        EXPECT_EQ(wrong, 0u);
    }
}

}  // namespace
}  // namespace mirva::testing
