#include "cli/arguments.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"

namespace mirva::cli {
namespace {

Request parse(std::vector<std::string> arguments) {
    return parse_arguments(arguments);
}

TEST(ParseArguments, TakesOptionsAnywhereOnceEachAndFilesInOrder) {
    Request request = parse({"-B", "a.sna", "-i", "b.GIF"});
    EXPECT_TRUE(request.options.bw);
    EXPECT_TRUE(request.options.inverse);
    EXPECT_EQ(request.source, "a.sna");
    EXPECT_EQ(request.source_kind, KIND_SNA);
    EXPECT_EQ(request.destination, "b.GIF");
    EXPECT_EQ(request.destination_kind, KIND_GIF);
    EXPECT_EQ(request.action, Action::job);

    request = parse({"-b.scr"});  // A file whose name starts like an option.
    EXPECT_EQ(request.source_kind, KIND_SCR);
    EXPECT_FALSE(request.options.bw);
    EXPECT_EQ(parse({"--help", "nonsense"}).action, Action::help);
    EXPECT_EQ(parse({"a.scr", "--version"}).action, Action::version);
}

TEST(ParseArguments, TakesResizeAndEveryDitherMode) {
    EXPECT_FALSE(parse({"a.png"}).options.resize);
    EXPECT_EQ(parse({"a.png"}).options.dither, screen::Dither::none);
    EXPECT_TRUE(parse({"a.gif", "--resize", "b.scr"}).options.resize);
    const std::vector<std::pair<std::string, screen::Dither>> modes{
        {"none", screen::Dither::none},
        {"floyd", screen::Dither::floyd},
        {"atkinson", screen::Dither::atkinson},
        {"ordered", screen::Dither::ordered},
    };
    for (const auto& [name, mode] : modes)
        EXPECT_EQ(parse({"--dither=" + name, "a.jpg", "b.tap"}).options.dither, mode) << name;
    EXPECT_EQ(parse({"photo.JPEG"}).source_kind, KIND_JPEG);
    EXPECT_EQ(parse({"photo.Png"}).source_kind, KIND_PNG);
}

TEST(ParseArguments, GivesTheBannerForAnythingNotAllowed) {
    const std::vector<std::vector<std::string>> refused{
        {},
        {"-b"},
        {"a.scr", "b.scr", "c.scr"},
        {"a.txt"},
        {"-b", "-b", "a.scr"},
        {"-i", "a.scr", "-I"},
        {"-x", "a.scr"},
        {"-bi", "a.scr"},
        {"--", "a.scr"},
        {"--b", "a.scr"},
        {"--unknown", "a.scr"},
        {"--help=yes"},
        {"--HELP"},
        {"a.scr", "--b.scr"},
        {"nonsense", "--help"},
        // Values out of range, missing, repeated, or given to an option without one.
        {"--scale=0", "a.scr"},
        {"--scale=9", "a.scr"},
        {"--scale=x", "a.scr"},
        {"--scale=", "a.scr"},
        {"--scale", "a.scr"},
        {"--scale=02", "a.scr"},
        {"--scale=2 ", "a.scr"},
        {"--scale=2", "--scale=3", "a.scr"},
        {"--scale=2", "--scale=2", "a.scr"},
        {"--border", "--border", "a.scr"},
        {"--flash=1", "a.scr"},
        {"--FLASH", "a.scr"},
        {"-scale=2", "a.scr"},
        {"--dither", "a.png"},
        {"--dither=", "a.png"},
        {"--dither=Floyd", "a.png"},
        {"--dither=none", "--dither=none", "a.png"},
        {"--resize=yes", "a.gif"},
    };
    for (const auto& arguments : refused) {
        try {
            (void)parse(arguments);
            ADD_FAILURE() << "accepted " << ::testing::PrintToString(arguments);
        } catch (const base::Failure& failure) {
            EXPECT_TRUE(failure.message().starts_with("Visor de pantallas de Spectrum MIRVA v"))
                << failure.message();
        }
    }
    EXPECT_FAILURE(parse({"a.scr", std::string(255, 'b')}), "Parametros demasiado largos");
    EXPECT_FAILURE(parse({"--" + std::string(253, 'x')}), "Parametros demasiado largos");
}

TEST(ParseArguments, TakesScaleBorderAndFlashWithTheirValues) {
    for (int scale = 1; scale <= 8; ++scale) {
        Request request = parse({"a.scr", "--scale=" + std::to_string(scale), "b.png"});
        EXPECT_EQ(request.options.scale, scale);
        EXPECT_FALSE(request.options.border);
        EXPECT_FALSE(request.options.flash);
        EXPECT_EQ(request.destination_kind, KIND_PNG);
    }
    Request request = parse({"--flash", "a.scr", "--border", "b.gif", "-b"});
    EXPECT_EQ(request.options.scale, 1);
    EXPECT_TRUE(request.options.border);
    EXPECT_TRUE(request.options.flash);
    EXPECT_TRUE(request.options.bw);
    EXPECT_EQ(screen::written_size(request.options), (screen::PictureSize{320, 240}));
    request.options.scale = 8;
    EXPECT_EQ(screen::written_size(request.options), (screen::PictureSize{2560, 1920}));
    request.options.border = false;
    EXPECT_EQ(screen::written_size(request.options), (screen::PictureSize{2048, 1536}));
    EXPECT_EQ(screen::written_size({}), (screen::PictureSize{256, 192}));
}

TEST(KindTable, HoldsEveryKindOnceInOrderWithItsAbilities) {
    auto table = kind_table();
    for (std::size_t index = 0; index < table.size(); ++index) {
        const KindRow& row = table[index];
        EXPECT_EQ(static_cast<std::size_t>(row.kind), index + 1);
        EXPECT_EQ(&kind_row(row.kind), &row);
        const int readers = (row.read_screen != nullptr) + (row.read_picture != nullptr) +
                            (row.read_rgb != nullptr);
        EXPECT_LE(readers, 1);
        // A picture kind is read as a picture, with a palette or without, any other as a screen.
        if (readers == 1) {
            EXPECT_EQ(row.read_screen == nullptr, row.family == FAMILY_PICTURE);
        }
        // An archive is read through its archive reader alone, and is never written.
        EXPECT_EQ(row.read_archive != nullptr, row.family == FAMILY_ARCHIVE);
        if (row.family == FAMILY_ARCHIVE) {
            EXPECT_TRUE(is_source_kind(row.kind));
            EXPECT_EQ(row.read_screen, nullptr);
            EXPECT_EQ(row.read_picture, nullptr);
            EXPECT_EQ(row.write, nullptr);
        }
        EXPECT_FALSE(row.description.empty());
        for (std::string_view extension : row.extensions) {
            if (!extension.empty()) {
                EXPECT_EQ(kind_of_extension(extension), row.kind) << extension;
            }
        }
    }
    EXPECT_EQ(family_of(KIND_TAP), FAMILY_SCREEN);
    EXPECT_EQ(family_of(KIND_SLT), FAMILY_SNAPSHOT);
    EXPECT_EQ(family_of(KIND_SZX), FAMILY_SNAPSHOT);
    EXPECT_EQ(family_of(KIND_PCX), FAMILY_PICTURE);
    // PNG is a picture that is read, written and animated; JPEG is only read.
    EXPECT_EQ(family_of(KIND_PNG), FAMILY_PICTURE);
    EXPECT_TRUE(is_source_kind(KIND_PNG));
    EXPECT_TRUE(is_source_kind(KIND_JPEG));
    EXPECT_EQ(kind_row(KIND_JPEG).write, nullptr);
    EXPECT_NE(kind_row(KIND_PNG).write, nullptr);
    EXPECT_TRUE(kind_row(KIND_PNG).animates);
    EXPECT_TRUE(kind_row(KIND_GIF).animates);
    EXPECT_FALSE(kind_row(KIND_PCX).animates);
    EXPECT_EQ(family_of(KIND_ZIP), FAMILY_ARCHIVE);
    EXPECT_EQ(family_of(KIND_GZ), FAMILY_ARCHIVE);
    EXPECT_EQ(family_of(KIND_NONE), Family::none);
}

TEST(ClassifyArgument, JudgesTheLastExtensionInAnyCase) {
    EXPECT_EQ(classify_argument("game.z80"), KIND_Z80);
    EXPECT_EQ(classify_argument("GAME.Z80"), KIND_Z80);
    EXPECT_EQ(classify_argument("Game.z80"), KIND_Z80);
    EXPECT_EQ(classify_argument("pic.Gif"), KIND_GIF);
    EXPECT_EQ(classify_argument("a.pcx"), KIND_PCX);
    EXPECT_EQ(classify_argument("a.scr"), KIND_SCR);
    EXPECT_EQ(classify_argument("a.tap"), KIND_TAP);
    EXPECT_EQ(classify_argument("a.sp"), KIND_SP);
    EXPECT_EQ(classify_argument("a.sna"), KIND_SNA);
    EXPECT_EQ(classify_argument("a.sit"), KIND_SIT);
    EXPECT_EQ(classify_argument("a.slt"), KIND_SLT);
    EXPECT_EQ(classify_argument("a.SZX"), KIND_SZX);
    EXPECT_EQ(classify_argument(".scr"), KIND_SCR);
    EXPECT_EQ(classify_argument("games.ZIP"), KIND_ZIP);
    EXPECT_EQ(classify_argument("game.tzx.gz"), KIND_GZ);
    EXPECT_EQ(classify_argument("../pics/a.pcx"), KIND_PCX);
    EXPECT_EQ(classify_argument("dir.old/screen.sna"), KIND_SNA);
    EXPECT_EQ(classify_argument("caf\xC3\xA9.scr"), KIND_SCR);
    for (const char* other : {"screen", ".", "pic.gif.bak", "pic.gi", "pic.gif~", "snap.spa",
                              "dir.old/screen", "a.scr.", "scr", "a.\xD3"})
        EXPECT_EQ(classify_argument(other), KIND_NONE) << other;
}

TEST(MemberKind, TakesSpectrumKindsAndPicturesButNoArchive) {
    const std::string long_name = std::string(300, 'x') + ".Sna";
    const std::vector<std::pair<std::string, FileKind>> names{
        {"game.z80", KIND_Z80},
        {"GAMES/OLD.DIR/PIC.GIF", KIND_GIF},
        {"a.tap", KIND_TAP},
        {long_name, KIND_SNA},  // A member's name is not an argument: no length limit.
        {"readme.txt", KIND_NONE},
        {"inner.zip", KIND_NONE},  // An archive inside an archive is not read.
        {"game.scr.gz", KIND_NONE},
        {"dir.scr/", KIND_NONE},
        {"", KIND_NONE},
    };
    for (const auto& [name, kind] : names)
        EXPECT_EQ(member_kind(name), kind) << name;
}

TEST(ClassifyArgument, RefusesArgumentsLongerThan254Bytes) {
    std::string longest = std::string(250, 'x') + ".gif";
    EXPECT_EQ(classify_argument(longest), KIND_GIF);
    EXPECT_FAILURE(classify_argument(longest + "f"), "Parametros demasiado largos");
    EXPECT_FAILURE(classify_argument(std::string(255, 'a')), "Parametros demasiado largos");
}

TEST(UpcaseAscii, ChangesOnlyLowerCaseAsciiLetters) {
    std::string text = "az AZ 09 .~ \x80\xE9\xFF";
    EXPECT_EQ(upcase_ascii(text), "AZ AZ 09 .~ \x80\xE9\xFF");
}

}  // namespace
}  // namespace mirva::cli
