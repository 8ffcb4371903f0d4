// Writes the example files that the repository ships: a test card as SCR and as SNA.
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_card.h"

namespace {

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && whole;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "examples";
    auto card = mirva::testing::make_test_card();
    bool done = write(folder + "/testcard.scr", {card.begin(), card.end()}) &&
                write(folder + "/testcard.sna", mirva::testing::make_sna(card, 1));
    if (!done)
        std::fprintf(stderr, "make_examples: cannot write into %s\n", folder.c_str());
    return done ? 0 : 1;
}
