// PNG and JPEG sources made by Pillow and ImageMagick (tests/support/make_photos.py), read by
// mirva and compared with the pixels they were made of, scaled by an independent computation;
// pictures of the same pixels as PNG, GIF and PCX; decompression bombs and huge files.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/failure.h"
#include "base/file_source.h"
#include "pictures/gif_reader.h"
#include "pictures/jpeg_reader.h"
#include "pictures/png_reader.h"
#include "support/e2e.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The pictures are made once for every test of the file.
class Photos : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        directory_ = new TemporaryDirectory;
        auto result = run_program("/usr/bin/python3", {MIRVA_TEST_SUPPORT "/make_photos.py"},
                                  directory_->path(), {.timeout_seconds = 300});
        ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    }
    static void TearDownTestSuite() {
        delete directory_;
        directory_ = nullptr;
    }
    static const TemporaryDirectory& dir() { return *directory_; }
    RunResult mirva(const std::vector<std::string>& arguments, int timeout_seconds = 30) {
        return run_mirva(dir(), arguments, {.timeout_seconds = timeout_seconds});
    }

private:
    static TemporaryDirectory* directory_;
};
TemporaryDirectory* Photos::directory_ = nullptr;

screen::RgbPicture read_photo(const fs::path& path) {
    auto source = base::open_source(path.string());
    if (path.extension() == ".png")
        return pictures::read_png_picture(*source);
    return pictures::read_jpeg_picture(*source);
}

TEST_F(Photos, EveryColourTypeDepthAndLayoutReadsToTheScaledPixels) {
    std::ifstream list(dir() / "cases.txt");
    std::string line;
    int png_cases = 0;
    int jpeg_cases = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, file, tolerance;
        fields >> name >> file >> tolerance;
        SCOPED_TRACE(line);
        if (tolerance == "refused") {
            fs::remove(dir() / "out.scr");
            expect_message(mirva({file, "out.scr"}), std::string(base::MSG_UNSUPPORTED_FEATURE));
            continue;
        }
        auto picture = read_photo(dir() / file);
        auto reference = read_file(dir() / (name + ".ref"));
        ASSERT_GE(reference.size(), 4u);
        EXPECT_EQ(picture.width, reference[0] | (reference[1] << 8));
        EXPECT_EQ(picture.height, reference[2] | (reference[3] << 8));
        Bytes expected(reference.begin() + 4, reference.end());
        ASSERT_EQ(picture.rgb.size(), expected.size());
        if (tolerance == "0") {
            EXPECT_EQ(picture.rgb, expected);
            ++png_cases;
        } else {
            // Two JPEG decoders, one reducing in its transform: near, not equal.
            double difference = 0;
            for (std::size_t i = 0; i < expected.size(); ++i)
                difference += std::abs(int{picture.rgb[i]} - int{expected[i]});
            const double mean = difference / static_cast<double>(expected.size());
            EXPECT_LE(mean, std::stod(tolerance));
            RecordProperty(name, std::to_string(mean));
            ++jpeg_cases;
        }
        // A picture without a palette has black margins; one with a palette its first colour,
        // which the script puts in the first pixel.
        std::array<std::uint8_t, 3> margin{};
        if (file.starts_with("palette"))
            margin = {expected[0], expected[1], expected[2]};
        EXPECT_EQ(picture.margin, margin);
    }
    EXPECT_EQ(png_cases, 21);
    EXPECT_EQ(jpeg_cases, 5);
}

TEST_F(Photos, SamePixelsAsPngGifAndPcxGiveTheSameScreen) {
    const std::vector<std::vector<std::string>> option_sets{
        {}, {"-b"}, {"-i"}, {"-b", "-i"}, {"--dither=none", "-i"}};
    for (std::string name : {"same", "smaller"}) {
        for (const auto& options : option_sets) {
            std::vector<Bytes> screens;
            for (std::string kind : {"png", "gif", "pcx"}) {
                SCOPED_TRACE(name + "." + kind + " with " + std::to_string(options.size()));
                const std::string target = name + "_" + kind + ".scr";
                fs::remove(dir() / target);
                auto arguments = options;
                arguments.insert(arguments.end(), {name + "." + kind, target});
                expect_success(mirva(arguments));
                screens.push_back(read_file(dir() / target));
            }
            EXPECT_EQ(screens[0], screens[1]) << name;
            EXPECT_EQ(screens[0], screens[2]) << name;
            if (options.size() == 2 && options[0] == "--dither=none") {
                // The default mode named is the default.
                EXPECT_EQ(screens[0], read_file(dir() / (name + "_png_i.scr")));
            }
            if (options == std::vector<std::string>{"-i"})
                fs::copy_file(dir() / (name + "_png.scr"), dir() / (name + "_png_i.scr"),
                              fs::copy_options::overwrite_existing);
        }
    }
}

TEST_F(Photos, LargerGifAndPcxNeedResizeAndThenMatchThePng) {
    // A 601x203 picture of 256 colours, written by Pillow as PNG, GIF and PCX.
    std::vector<Bytes> screens;
    for (std::string kind : {"png", "gif", "pcx"}) {
        SCOPED_TRACE(kind);
        const std::string target = "wide256_" + kind + ".scr";
        fs::remove(dir() / target);
        if (kind != "png") {
            expect_message(mirva({"wide256." + kind, target}),
                           std::string(base::MSG_PICTURE_TOO_LARGE));
        }
        expect_success(mirva({"--resize", "wide256." + kind, target}));
        screens.push_back(read_file(dir() / target));
        ASSERT_EQ(screens.back().size(), 6912u);
    }
    EXPECT_EQ(screens[1], screens[2]);

    // Scaled in process, the GIF's colours are its 6-bit palette widened and the PNG's the 8-bit
    // colours: the means differ by less than the two bits the palette drops.
    auto png = read_photo(dir() / "wide256.png");
    screen::Palette palette{};
    auto gif_source = base::open_source((dir() / "wide256.gif").string());
    auto gif = screen::widen_picture(
        pictures::read_gif_picture(*gif_source, palette, screen::RESIZE_LIMIT), palette);
    EXPECT_EQ(gif.width, png.width);
    EXPECT_EQ(gif.height, png.height);
    ASSERT_EQ(gif.rgb.size(), png.rgb.size());
    int largest = 0;
    for (std::size_t i = 0; i < png.rgb.size(); ++i)
        largest = std::max(largest, std::abs(int{gif.rgb[i]} - int{png.rgb[i]}));
    EXPECT_LE(largest, 3);
}

TEST_F(Photos, BombsAndHugeFilesAreRefusedOrReadInBoundedMemory) {
    const std::string too_large(base::MSG_PICTURE_TOO_LARGE);
    for (std::string name : {"bomb_claim.png", "bomb_over.png"}) {
        fs::remove(dir() / "out.scr");
        expect_message(mirva({name, "out.scr"}), too_large);
    }
    // 64 megapixels exactly are decoded a row at a time.
    fs::remove(dir() / "out.scr");
    expect_success(mirva({"bomb_inflate.png", "out.scr"}, 60));

    // Sparse files of 5 GB: a PNG ends at its last chunk, whatever follows; a JPEG is read whole
    // and refused above 256 MiB; zeros are no picture at all.
    const std::uint64_t huge = std::uint64_t{5} << 30;
    struct Case {
        std::string copy_of, name, message;
    };
    for (const Case& c :
         {Case{"rgb8.png", "huge.png", ""}, Case{"small.jpg", "huge.jpg", too_large},
          Case{"", "zeros.png", std::string(base::MSG_NOT_PNG)},
          Case{"", "zeros.jpeg", std::string(base::MSG_NOT_JPEG)}}) {
        SCOPED_TRACE(c.name);
        if (c.copy_of.empty())
            write_file(dir() / c.name, {});
        else
            fs::copy_file(dir() / c.copy_of, dir() / c.name, fs::copy_options::overwrite_existing);
        ASSERT_EQ(::truncate((dir() / c.name).c_str(), static_cast<off_t>(huge)), 0);
        fs::remove(dir() / "out.scr");
        auto result = mirva({c.name, "out.scr"});
        if (c.message.empty())
            expect_success(result);
        else
            expect_message(result, c.message);
        fs::remove(dir() / c.name);
    }
}

TEST_F(Photos, EachLibraryIsLoadedOnlyForItsKind) {
    auto linked = run_program("/usr/bin/ldd", {MIRVA_BINARY}, dir().path());
    EXPECT_EQ(linked.exit_status, 0);
    EXPECT_EQ(linked.standard_output.find("spng"), std::string::npos) << linked.standard_output;
    EXPECT_EQ(linked.standard_output.find("turbojpeg"), std::string::npos);

    // The dynamic loader lists every library it opens on standard error.
    struct Case {
        std::string source;
        bool spng, turbojpeg;
    };
    for (const Case& c : {Case{"same.gif", false, false}, Case{"same.png", true, false},
                          Case{"small.jpg", false, true}}) {
        SCOPED_TRACE(c.source);
        fs::remove(dir() / "out.scr");
        ::setenv("LD_DEBUG", "libs", 1);
        auto result = mirva({c.source, "out.scr"});
        ::unsetenv("LD_DEBUG");
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.standard_error.find("libspng.so.0") != std::string::npos, c.spng);
        EXPECT_EQ(result.standard_error.find("libturbojpeg.so.0") != std::string::npos,
                  c.turbojpeg);
    }
}

}  // namespace
}  // namespace mirva::testing
