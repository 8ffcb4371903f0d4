// What a source that is not a regular file gives, kind by kind: the tables of the README and the
// manual page say the same, cover every kind that can be read, and are what the program does.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/kinds.h"
#include "support/e2e.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

// Extension (lower case, with its dot) to message, NAME standing for the file name.
using Answers = std::map<std::string, std::string>;

std::vector<std::string> lines_of(const std::string& name) {
    std::ifstream in(fs::path(MIRVA_SOURCE_DIR) / name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Adds a row: the extensions, separated by spaces, and their message.
void add_row(Answers& answers, const std::string& extensions, const std::string& message) {
    std::istringstream words(extensions);
    for (std::string extension; words >> extension;)
        answers[extension] = message;
}

// The rows of the README's table after its heading row, up to the first line not in the table:
// | `.scr` `.sp` | `message` |
Answers readme_answers() {
    Answers answers;
    auto lines = lines_of("README.md");
    auto heading = std::find(lines.begin(), lines.end(),
                             "| source | a folder, FIFO or character device gives |");
    if (heading == lines.end())
        return answers;
    for (auto line = heading + 2; line != lines.end() && line->starts_with("| "); ++line) {
        std::string row = *line;
        std::erase(row, '`');
        auto bar = row.find(" | ");
        add_row(answers, row.substr(2, bar - 2), row.substr(bar + 3, row.size() - bar - 5));
    }
    return answers;
}

// The rows of the manual page's table in its section on such sources, tab-separated:
// \&.scr \&.sp<TAB>message
Answers manual_answers() {
    Answers answers;
    auto lines = lines_of("docs/mirva.1");
    auto section = std::find(lines.begin(), lines.end(), ".SH SOURCES THAT ARE NOT REGULAR FILES");
    auto table = std::find(section, lines.end(), ".TS");
    if (table == lines.end())
        return answers;
    for (auto line = table + 3; line != lines.end() && *line != ".TE"; ++line) {
        std::string row = *line;
        replace_all(row, "\\&", "");
        replace_all(row, "\\fIname\\fP", "NAME");
        auto tab = row.find('\t');
        add_row(answers, row.substr(0, tab), row.substr(tab + 1));
    }
    return answers;
}

TEST(SpecialSources, GiveWhatTheReadmeAndTheManualSay) {
    auto answers = readme_answers();
    EXPECT_EQ(manual_answers(), answers);
    TemporaryDirectory dir;
    for (const auto& row : cli::kind_table()) {
        if (!cli::is_source_kind(row.kind))
            continue;
        for (std::string_view upper : row.extensions) {
            if (upper.empty())
                continue;
            std::string extension(upper);
            for (auto& letter : extension)
                letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
            ASSERT_EQ(answers.count(extension), 1u) << extension << " is not in the tables";
            // A folder, a FIFO and a character device, each named as a source of the kind.
            const std::string folder = "folder" + extension;
            const std::string fifo = "fifo" + extension;
            const std::string device = "device" + extension;
            fs::create_directory(dir / folder);
            ASSERT_EQ(::mkfifo((dir / fifo).c_str(), 0600), 0);
            fs::create_symlink("/dev/null", dir / device);
            for (const auto& name : {folder, fifo, device}) {
                std::string message = answers[extension];
                replace_all(message, "NAME", name);
                auto result = run_mirva(dir, {name, "out.scr"}, {.timeout_seconds = 10});
                expect_message(result, message);
                EXPECT_FALSE(fs::exists(dir / "out.scr")) << name;
            }
        }
    }
}

}  // namespace
}  // namespace mirva::testing
