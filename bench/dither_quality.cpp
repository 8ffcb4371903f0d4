// Fits one 256x192 picture to a screen in each mode, for bench/dither_quality.py to measure:
//
//   dither_quality PICTURE PREFIX [MODE...]
//
// PICTURE is a binary PPM (P6, 256x192, maxval 255) or 147456 raw bytes of R, G, B. For each
// MODE (none, floyd, atkinson, ordered; all four when none is named) writes PREFIX-MODE.scr
// and the screen rendered in the Spectrum colours as PREFIX-MODE.ppm. Mode none fits the
// picture as a palette picture of its distinct colours (components shifted right by 2) and
// needs at most 256 of them.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "screen/dither.h"
#include "screen/fit.h"
#include "screen/render.h"

namespace {

using namespace mirva;

constexpr std::size_t RGB_BYTES = screen::SCREEN_PIXELS * 3;

bool read_picture(const std::string& name, screen::RgbPicture& picture) {
    std::ifstream in(name, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (bytes.size() > RGB_BYTES && bytes[0] == 'P' && bytes[1] == '6') {
        // The header is "P6", width, height and maxval, separated by white space, then one
        // white space byte before the samples.
        std::string header(bytes.begin(), bytes.begin() + 64);
        std::istringstream fields(header.substr(2));
        int width = 0;
        int height = 0;
        int maxval = 0;
        fields >> width >> height >> maxval;
        if (width != screen::SCREEN_WIDTH || height != screen::SCREEN_HEIGHT || maxval != 255)
            return false;
        auto start = static_cast<std::size_t>(fields.tellg()) + 2 + 1;
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(start));
    }
    if (bytes.size() != RGB_BYTES)
        return false;
    picture = {screen::SCREEN_WIDTH, screen::SCREEN_HEIGHT, bytes};
    return true;
}

// The existing fit, on the picture's distinct colours taken as its palette.
bool fit_without_dithering(const screen::RgbPicture& picture, screen::ScreenImage& screen_image) {
    std::map<std::uint32_t, std::uint8_t> entries;
    screen::Palette palette{};
    screen::Picture indexed;
    indexed.width = screen::SCREEN_WIDTH;
    indexed.height = screen::SCREEN_HEIGHT;
    for (std::size_t i = 0; i < screen::SCREEN_PIXELS; ++i) {
        const std::uint8_t* rgb = &picture.rgb[i * 3];
        std::uint32_t key = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
        auto found = entries.find(key);
        if (found == entries.end()) {
            if (entries.size() == palette.size())
                return false;
            auto entry = static_cast<std::uint8_t>(entries.size());
            palette[entry] = {static_cast<std::uint8_t>(rgb[0] >> 2),
                              static_cast<std::uint8_t>(rgb[1] >> 2),
                              static_cast<std::uint8_t>(rgb[2] >> 2)};
            found = entries.emplace(key, entry).first;
        }
        indexed.pixels[i] = found->second;
    }
    screen_image = screen::picture_to_screen(indexed, palette);
    return true;
}

void write_file(const std::string& name, const std::string& header,
                const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary);
    out << header;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void write_screen(const std::string& prefix, const std::string& mode,
                  const screen::ScreenImage& screen_image) {
    write_file(prefix + "-" + mode + ".scr", "", {screen_image.begin(), screen_image.end()});
    screen::Picture rendered = screen::render_screen(screen_image, false, false, false);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(RGB_BYTES);
    for (std::size_t i = 0; i < screen::SCREEN_PIXELS; ++i) {
        const screen::Rgb& colour = screen::spectrum_palette[rendered.pixels[i]];
        for (std::uint8_t component : {colour.red, colour.green, colour.blue})
            rgb.push_back(static_cast<std::uint8_t>(component << 2));
    }
    write_file(prefix + "-" + mode + ".ppm", "P6\n256 192\n255\n", rgb);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dither_quality PICTURE PREFIX [MODE...]\n");
        return 2;
    }
    screen::RgbPicture picture;
    if (!read_picture(argv[1], picture)) {
        std::fprintf(stderr, "dither_quality: %s is not a 256x192 PPM or raw RGB picture\n",
                     argv[1]);
        return 1;
    }
    std::vector<std::string> modes(argv + 3, argv + argc);
    if (modes.empty())
        modes = {"none", "floyd", "atkinson", "ordered"};
    const std::map<std::string, screen::Dither> dithers = {{"floyd", screen::Dither::floyd},
                                                           {"atkinson", screen::Dither::atkinson},
                                                           {"ordered", screen::Dither::ordered}};
    for (const std::string& mode : modes) {
        screen::ScreenImage screen_image{};
        if (mode == "none") {
            if (!fit_without_dithering(picture, screen_image)) {
                std::fprintf(stderr, "dither_quality: %s has over 256 colours\n", argv[1]);
                return 1;
            }
        } else if (auto found = dithers.find(mode); found != dithers.end()) {
            screen_image = screen::dither_to_screen(picture, found->second);
        } else {
            std::fprintf(stderr, "dither_quality: no mode %s\n", mode.c_str());
            return 2;
        }
        write_screen(argv[2], mode, screen_image);
    }
    return 0;
}
