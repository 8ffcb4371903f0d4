#include "base/failure.h"

#include <gtest/gtest.h>

#include "cli/usage.h"
#include "support/expect_failure.h"

namespace mirva::base {
namespace {

TEST(Fatal, PutsTheTextInPlaceOfTheMarker) {
    EXPECT_FAILURE(fatal(MSG_DESTINATION_EXISTS, "out.scr"), "Ya existe el fichero out.scr");
    EXPECT_FAILURE(fatal(MSG_TAP_WITHOUT_SCREEN, "a.tap"), "EL TAP no tiene ninguna pantalla");
    // A name that holds a marker of its own is printed as it is.
    EXPECT_FAILURE(fatal(MSG_OPEN_SOURCE, "%s%d.scr"), "Error abriendo el fichero %s%d.scr");
}

TEST(Fatal, ReplacesControlCharactersOfTheName) {
    EXPECT_FAILURE(fatal(MSG_OPEN_SOURCE, "a\nb\x1b[2Jc\x7f\td.scr"),
                   "Error abriendo el fichero a?b?[2Jc??d.scr");
    EXPECT_FAILURE(fatal(MSG_OPEN_SOURCE, "\xc3\xb1.scr"),
                   "Error abriendo el fichero \xc3\xb1.scr");
}

TEST(Error, PrintsTheMessageLiterally) {
    EXPECT_FAILURE(error(MSG_INTERNAL), "Error interno");
    EXPECT_FAILURE(error("100% %s"), "100% %s");
}

TEST(Usage, GivesTheEightLineBanner) {
    try {
        cli::usage();
        FAIL() << "usage returned";
    } catch (const Failure& failure) {
        const std::string& text = failure.message();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
        EXPECT_EQ(text.substr(0, text.find('\n')),
                  "Visor de pantallas de Spectrum MIRVA v2.2a LiNUX i386 SVGAlib");
        EXPECT_NE(text.find("\n\t\t   -i  -> Ver la pantalla en modo inverso"), std::string::npos);
    }
}

}  // namespace
}  // namespace mirva::base
