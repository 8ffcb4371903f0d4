// --scale, --border and --flash end to end: what they refuse, where they change nothing, and
// mirva reading its own pictures back.
#include "base/failure.h"
#include "screen/palette.h"
#include "screen/render.h"
#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using PictureOptions = MirvaTest;

const std::string USAGE_START = "Visor de pantallas de Spectrum MIRVA v";

TEST_F(PictureOptions, BadValuesGiveTheBannerAndCreateNothing) {
    put("a.scr", bytes_of(card));
    const std::vector<std::vector<std::string>> refused{
        {"--scale=0", "a.scr", "b.png"},
        {"--scale=9", "a.scr", "b.gif"},
        {"--scale=x", "a.scr", "b.pcx"},
        {"--scale=", "a.scr", "b.png"},
        {"--scale", "a.scr", "b.png"},
        {"--scale=2", "--scale=2", "a.scr", "b.png"},
        {"--flash", "a.scr", "--flash", "b.gif"},
        {"--border", "--border", "a.scr", "b.png"},
    };
    for (const auto& arguments : refused) {
        auto result = mirva(arguments);
        EXPECT_EQ(result.exit_status, 1) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(result.standard_error.starts_with(USAGE_START)) << result.standard_error;
        EXPECT_EQ(result.standard_output, "");
    }
    for (const char* name : {"b.png", "b.gif", "b.pcx", "b.scr"})
        EXPECT_FALSE(exists(name)) << name;
}

TEST_F(PictureOptions, PcxWithFlashIsRefusedBeforeTheSourceIsRead) {
    put("a.scr", bytes_of(card));
    put("zero.scr", Bytes(6912, 0));  // No flashing cell: still refused.
    for (const char* source : {"a.scr", "zero.scr", "missing.scr"}) {
        expect_message(mirva({"--flash", source, "b.pcx"}), std::string(base::MSG_BAD_DESTINATION));
        EXPECT_FALSE(exists("b.pcx"));
    }
}

TEST_F(PictureOptions, ScaleOneIsTodaysBytesAndScreenDestinationsIgnoreTheOptions) {
    put("a.scr", bytes_of(card));
    for (const char* kind : {"gif", "pcx", "png"}) {
        const std::string plain = std::string("plain.") + kind;
        const std::string one = std::string("one.") + kind;
        expect_success(mirva({"a.scr", plain}));
        expect_success(mirva({"--scale=1", "a.scr", one}));
        EXPECT_EQ(get(one), get(plain)) << kind;
    }
    for (const char* kind : {"scr", "tap"}) {
        const std::string plain = std::string("plain.") + kind;
        const std::string all = std::string("all.") + kind;
        expect_success(mirva({"a.scr", plain}));
        expect_success(mirva({"--scale=5", "--border", "--flash", "a.scr", all}));
        EXPECT_EQ(get(all), get(plain)) << kind;
    }
}

// Every GIF mirva writes at scale 1 without a border, animated or not, reads back as a picture
// whose fitted screen shows the colours of its first frame.
TEST_F(PictureOptions, WrittenGifsReadBackToTheFirstFrame) {
    put("a.scr", bytes_of(card));
    const std::vector<std::vector<std::string>> variants{
        {}, {"--flash"}, {"-b", "--flash"}, {"-i", "--flash"}, {"-b", "-i"}};
    for (std::size_t n = 0; n < variants.size(); ++n) {
        const auto& options = variants[n];
        const bool bw = std::find(options.begin(), options.end(), "-b") != options.end();
        const bool inverse = std::find(options.begin(), options.end(), "-i") != options.end();
        const std::string stem = std::string("v").append(std::to_string(n));
        const std::string gif = stem + ".gif";
        const std::string scr = stem + ".scr";
        auto arguments = options;
        arguments.insert(arguments.end(), {"a.scr", gif});
        expect_success(mirva(arguments));
        expect_success(mirva({gif, scr}));
        auto back = get(scr);
        ASSERT_EQ(back.size(), 6912u);
        screen::ScreenImage fitted{};
        std::copy(back.begin(), back.end(), fitted.begin());
        auto shown = screen::render_screen(fitted, false, false, false);
        auto first = screen::render_screen(card, bw, inverse, false);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < screen::SCREEN_PIXELS; ++i)
            wrong += screen::spectrum_palette[shown.pixels[i]] !=
                     screen::spectrum_palette[first.pixels[i]];
        EXPECT_EQ(wrong, 0u) << gif;
    }
}

}  // namespace
}  // namespace mirva::testing
