#include "cli/arguments.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"

namespace mirva::cli {
namespace {

TEST(ClassifyArgument, RecognisesOptionsOnlyAsWholeArguments) {
    EXPECT_EQ(classify_argument("-b"), OPT_BW);
    EXPECT_EQ(classify_argument("-B"), OPT_BW);
    EXPECT_EQ(classify_argument("-i"), OPT_INVERSE);
    EXPECT_EQ(classify_argument("-I"), OPT_INVERSE);
    for (const char* other : {"-x", "-bi", "-", "--", "--b", "-b ", ""})
        EXPECT_EQ(classify_argument(other), KIND_NONE) << other;
    EXPECT_EQ(classify_argument("-b.scr"), KIND_SCR);
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
    EXPECT_EQ(classify_argument(".scr"), KIND_SCR);
    EXPECT_EQ(classify_argument("../pics/a.pcx"), KIND_PCX);
    EXPECT_EQ(classify_argument("dir.old/screen.sna"), KIND_SNA);
    EXPECT_EQ(classify_argument("caf\xC3\xA9.scr"), KIND_SCR);
    for (const char* other : {"screen", ".", "pic.gif.bak", "pic.gi", "pic.gif~", "snap.spa",
                              "dir.old/screen", "a.scr.", "scr", "a.\xD3"})
        EXPECT_EQ(classify_argument(other), KIND_NONE) << other;
}

TEST(ClassifyArgument, RefusesArgumentsLongerThan254Bytes) {
    std::string longest = std::string(250, 'x') + ".gif";
    EXPECT_EQ(classify_argument(longest), KIND_GIF);
    EXPECT_FAILURE(classify_argument(longest + "f"), "Parametros demasiado largos");
    EXPECT_FAILURE(classify_argument(std::string(255, '-')), "Parametros demasiado largos");
}

TEST(UpcaseAscii, ChangesOnlyLowerCaseAsciiLetters) {
    std::string text = "az AZ 09 .~ \x80\xE9\xFF";
    EXPECT_EQ(upcase_ascii(text), "AZ AZ 09 .~ \x80\xE9\xFF");
}

TEST(FamilyOf, GroupsKindsByTheMask) {
    EXPECT_EQ(family_of(KIND_TAP), FAMILY_SCREEN);
    EXPECT_EQ(family_of(KIND_SLT), FAMILY_SNAPSHOT);
    EXPECT_EQ(family_of(KIND_PCX), FAMILY_PICTURE);
    EXPECT_EQ(family_of(OPT_INVERSE), 0);
}

}  // namespace
}  // namespace mirva::cli
