// ZIP and gzip sources end to end, made by Python's zipfile and gzip: the member stands for the
// source in everything, its pair rules included; the refusals leave no destination. Bombs and
// damaged archives are tested in process (damaged ones also by the robustness test).
#include <filesystem>
#include <set>
#include <sstream>

#include "support/archive_files.h"
#include "support/e2e.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {
namespace {

const std::vector<std::uint8_t> TEXT{'h', 'o', 'l', 'a', '\n'};

class Archive : public MirvaTest {
protected:
    std::vector<std::uint8_t> z80 = make_z80_v1(memory_48k(card), 0x20);

    // What mirva makes of the arguments, the destination last.
    std::vector<std::uint8_t> made(const std::vector<std::string>& arguments) {
        expect_success(mirva(arguments));
        return get(arguments.back());
    }
    RunResult mirva_with(const std::vector<std::string>& arguments,
                         std::vector<std::string> environment) {
        return run_mirva(dir, arguments, {.environment = std::move(environment)});
    }
};

TEST_F(Archive, TheMemberGivesExactlyWhatItGivesDirectly) {
    put("game.z80", z80);
    put("game.sna", make_sna(card, 3));
    put("card.scr", bytes_of(card));
    const auto gif = made({"card.scr", "card.gif"});
    put("stored.zip", python_zip({{"readme.txt", TEXT}, {"GAME/GAME.Z80", z80}}, false));
    put("deflated.ZIP", python_zip({{"notes.txt", TEXT}, {"card.gif", gif}}, true));
    put("game.sna.gz", python_gzip(make_sna(card, 3)));

    EXPECT_EQ(made({"stored.zip", "stored.scr"}), bytes_of(card));
    EXPECT_EQ(made({"-i", "stored.zip", "stored.gif"}), made({"-i", "game.z80", "game.gif"}));
    EXPECT_EQ(made({"deflated.ZIP", "deflated.scr"}), made({"card.gif", "fitted.scr"}));
    EXPECT_EQ(made({"game.sna.gz", "gz.scr"}), bytes_of(card));
    EXPECT_EQ(made({"-b", "game.sna.gz", "gz.pcx"}), made({"-b", "game.sna", "sna.pcx"}));
}

TEST_F(Archive, PairRulesAreThoseOfTheMember) {
    const std::string same = "No se puede convertir una imagen a otra del mismo tipo";
    const std::string bad = "El formato de destino no puede ser ese";
    put("card.scr", bytes_of(card));
    put("z80.zip", python_zip({{"game.z80", z80}}, true));
    put("gif.zip", python_zip({{"card.gif", made({"card.scr", "card.gif"})}}, true));
    put("game.z80.gz", python_gzip(z80));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals{
        {{"z80.zip", "b.z80"}, same}, {{"z80.zip", "b.sna"}, same},
        {{"gif.zip", "b.gif"}, same}, {{"game.z80.gz", "b.slt"}, same},
        {{"z80.zip", "b.zip"}, bad},  {{"game.z80.gz", "b.gz"}, bad},
        {{"gif.zip", "b.pcx"}, same},
    };
    for (const auto& [arguments, message] : refusals) {
        expect_message(mirva(arguments), message);
        EXPECT_FALSE(exists(arguments.back())) << arguments.back();
    }
    put("b.scr", TEXT);
    expect_message(mirva({"z80.zip", "b.scr"}), "Ya existe el fichero b.scr");
    EXPECT_EQ(get("b.scr"), TEXT);
}

TEST_F(Archive, RefusalsNameTheArchiveAndLeaveNoDestination) {
    put("none.zip", python_zip({{"readme.txt", TEXT},
                                {"inner.zip", python_zip({{"game.z80", z80}}, true)},
                                {"game.z80.gz", python_gzip(z80)},
                                {"folder.scr/", {}}},
                               false));
    put("notes.txt.gz", python_gzip(TEXT));
    put("short.zip", python_zip({{"readme.txt", TEXT}, {"short.z80", TEXT}}, true));
    const std::vector<std::pair<std::string, std::string>> refusals{
        {"none.zip", "El archivo none.zip no contiene ninguna pantalla ni imagen"},
        {"notes.txt.gz", "El archivo notes.txt.gz no contiene ninguna pantalla ni imagen"},
        {"short.zip", "Error leyendo del fichero short.zip"},
        {"missing.zip", "Error abriendo el fichero missing.zip"},
    };
    for (const auto& [source, message] : refusals) {
        expect_message(mirva({source, "out.scr"}), message);
        EXPECT_FALSE(exists("out.scr")) << source;
    }
}

TEST_F(Archive, TheViewerOpensOnlyOnceAMemberIsRead) {
    put("z80.zip", python_zip({{"game.z80", z80}}, true));
    put("none.zip", python_zip({{"readme.txt", TEXT}}, true));
    // A video driver that does not exist: opening the viewer fails at once.
    const std::vector<std::string> no_display{"SDL_VIDEODRIVER=none-such"};
    expect_message(mirva_with({"z80.zip"}, no_display), "No se puede iniciar el modo grafico");
    expect_message(mirva_with({"none.zip"}, no_display),
                   "El archivo none.zip no contiene ninguna pantalla ni imagen");
}

TEST_F(Archive, OpensNoLibraryItsMemberDoesNotOpen) {
    put("game.z80", z80);
    put("z80.zip", python_zip({{"game.z80", z80}}, true));
    put("game.z80.gz", python_gzip(z80));
    // The dynamic loader lists every library it starts on standard error.
    const std::vector<std::string> listing{"LD_DEBUG=libs"};
    auto started = [&](const std::vector<std::string>& arguments) {
        auto result = mirva_with(arguments, listing);
        EXPECT_EQ(result.exit_status, 0) << result.standard_error;
        std::set<std::string> libraries;
        std::istringstream lines(result.standard_error);
        const std::string mark = "calling init: ";
        for (std::string line; std::getline(lines, line);) {
            if (auto at = line.find(mark); at != std::string::npos)
                libraries.insert(line.substr(at + mark.size()));
        }
        return libraries;
    };
    const auto direct = started({"game.z80", "game.gif"});
    EXPECT_FALSE(direct.empty());
    EXPECT_EQ(started({"z80.zip", "zip.gif"}), direct);
    EXPECT_EQ(started({"game.z80.gz", "gz.gif"}), direct);
}

}  // namespace
}  // namespace mirva::testing
