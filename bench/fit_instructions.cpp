// Fits one picture to a screen, for callgrind to count the instructions of picture_to_screen:
//
//   valgrind --tool=callgrind --toggle-collect='mirva::screen::picture_to_screen*'
//            fit_instructions test_card|title|random|all_zero|photo
//
// Prints a checksum of the screen, so that the work cannot be left out.
#include <cstdio>
#include <string>

#include "bench_inputs.h"
#include "screen/fit.h"

int main(int argc, char** argv) {
    using namespace mirva;
    if (argc != 2) {
        std::fprintf(stderr, "usage: fit_instructions test_card|title|random|all_zero|photo\n");
        return 2;
    }
    const std::string wanted = argv[1];
    screen::Palette palette = bench::spectrum_file_palette();
    screen::Picture picture;
    if (wanted == "photo") {
        picture = bench::photo_picture(palette);
    } else {
        bool found = false;
        for (const auto& input : bench::bench_screens()) {
            if (input.name == wanted) {
                picture = screen::render_screen(input.screen, false, false, false);
                found = true;
            }
        }
        if (!found) {
            std::fprintf(stderr, "fit_instructions: no picture %s\n", wanted.c_str());
            return 2;
        }
    }
    auto fitted = screen::picture_to_screen(picture, palette);
    unsigned checksum = 0;
    for (auto byte : fitted)
        checksum = checksum * 31 + byte;
    std::printf("%08x\n", checksum);
    return 0;
}
