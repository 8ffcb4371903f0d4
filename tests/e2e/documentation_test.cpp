// The README, the manual page, --help, --version and the bash completion tell one story: every
// kind of the table of kinds and every option of the option table appears in each, and the
// completion offers exactly the kinds that can stand in each position.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/help.h"
#include "cli/kinds.h"
#include "cli/options.h"
#include "support/e2e.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;
using Words = std::set<std::string>;

std::string text_of(const std::string& name) {
    std::ifstream in(fs::path(MIRVA_SOURCE_DIR) / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (auto& letter : result)
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    return result;
}

// The manual page writes every '-' of an option as "\-".
std::string man_escaped(std::string_view text) {
    std::string result;
    for (char letter : text) {
        if (letter == '-')
            result += '\\';
        result += letter;
    }
    return result;
}

// The words of the first match of expression's group 1, split at separators.
Words words_of(const std::string& text, const std::string& expression, char separator) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(expression)))
        return {};
    Words words;
    std::istringstream list(match[1].str());
    for (std::string word; std::getline(list, word, separator);) {
        word.erase(std::remove(word.begin(), word.end(), ' '), word.end());
        if (!word.empty())
            words.insert(word);
    }
    return words;
}

struct KindSets {
    Words sources;              // Every extension that can be read, without its dot.
    Words picture_sources;      // Those of pictures.
    Words screen_destinations;  // What a picture can be written as.
    Words all_destinations;     // What a Spectrum source can be written as.
};

KindSets kind_sets() {
    KindSets sets;
    for (const cli::KindRow& row : cli::kind_table()) {
        for (std::string_view extension : row.extensions) {
            if (extension.empty())
                continue;
            std::string name = lower(extension.substr(1));
            if (cli::is_source_kind(row.kind)) {
                sets.sources.insert(name);
                if (row.family == cli::FAMILY_PICTURE)
                    sets.picture_sources.insert(name);
            }
            if (row.write != nullptr) {
                sets.all_destinations.insert(name);
                if (row.family == cli::FAMILY_SCREEN)
                    sets.screen_destinations.insert(name);
            }
        }
    }
    return sets;
}

TEST(Documentation, EveryKindAndOptionIsInTheReadmeTheManualAndHelp) {
    const std::string readme = text_of("README.md");
    const std::string manual = text_of("docs/mirva.1");
    const std::string help = cli::help_text();
    const std::string completion = text_of("completions/mirva");
    for (const cli::KindRow& row : cli::kind_table()) {
        for (std::string_view extension : row.extensions) {
            if (extension.empty())
                continue;
            const std::string name = lower(extension);
            EXPECT_NE(readme.find("`" + name + "`"), std::string::npos) << name << " in README";
            EXPECT_NE(manual.find("\\&" + name), std::string::npos) << name << " in the manual";
            EXPECT_NE(help.find(" " + name + " "), std::string::npos) << name << " in --help";
        }
    }
    for (const cli::OptionRow& option : cli::option_table()) {
        const std::string name(option.name);
        EXPECT_NE(readme.find("`" + name), std::string::npos) << name << " in README";
        EXPECT_NE(manual.find(man_escaped(name)), std::string::npos) << name << " in the manual";
        EXPECT_NE(help.find("  " + name), std::string::npos) << name << " in --help";
        EXPECT_NE(completion.find(" " + name), std::string::npos) << name << " in the completion";
    }
}

TEST(Documentation, TheCompletionOffersTheKindsOfEachPosition) {
    const std::string completion = text_of("completions/mirva");
    const KindSets sets = kind_sets();
    // The sources, with no file yet; then the destinations of a picture source (whose case
    // labels are the picture kinds), and of any other source.
    EXPECT_EQ(words_of(completion, R"(files == 0\)\); then\s+pattern='@\(([^)]*)\))", '|'),
              sets.sources);
    const std::string pictures = R"(\n\s*([a-z |]+)\) pattern='@\(([^)]*)\)' ;;)";
    std::smatch match;
    ASSERT_TRUE(std::regex_search(completion, match, std::regex(pictures)));
    EXPECT_EQ(words_of(match[1].str() + "\n", "(.*)\n", '|'), sets.picture_sources);
    EXPECT_EQ(words_of(match[2].str() + "\n", "(.*)\n", '|'), sets.screen_destinations);
    EXPECT_EQ(words_of(completion, R"(\*\) pattern='@\(([^)]*)\))", '|'), sets.all_destinations);
}

TEST(Documentation, OneVersionInTheProgramAndTheManual) {
    TemporaryDirectory dir;
    auto result = run_mirva(dir, {"--version"});
    ASSERT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_output, cli::version_text());
    std::smatch match;
    const std::string manual = text_of("docs/mirva.1");
    ASSERT_TRUE(std::regex_search(manual, match,
                                  std::regex(R"re(\.TH MIRVA 1 "[^"]*" "(mirva [^"]*)")re")));
    EXPECT_EQ(match[1].str() + "\n", result.standard_output);
}

}  // namespace
}  // namespace mirva::testing
