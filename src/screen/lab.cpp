#include "screen/lab.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <span>

#include "screen/roots.h"
#include "screen/screen_image.h"

namespace mirva::screen {

namespace {

// Steps of the tables: 16 a component value, 4096 over 0..1 of the cube root's argument.
inline constexpr int LINEAR_STEPS = 16;
inline constexpr int ROOT_STEPS = 4096;

struct LabTables {
    std::array<float, 256 * LINEAR_STEPS + 1> linear{};
    std::array<float, ROOT_STEPS + 1> root{};
    LabTables() {
        for (std::size_t i = 0; i < linear.size(); ++i) {
            const double value = static_cast<double>(i) / (255.0 * LINEAR_STEPS);
            linear[i] = static_cast<float>(value <= 0.04045 ? value / 12.92
                                                            : power_2_4((value + 0.055) / 1.055));
        }
        // CIELAB's f: a cube root above (6/29)^3, a straight line below it.
        for (std::size_t i = 0; i < root.size(); ++i) {
            const double t = static_cast<double>(i) / ROOT_STEPS;
            root[i] = static_cast<float>(t > 216.0 / 24389.0 ? cube_root(t)
                                                             : t * 24389.0 / 3132.0 + 4.0 / 29.0);
        }
    }
};

const LabTables& tables() {
    static const LabTables made;
    return made;
}

float look_up(std::span<const float> table, float position) {
    const float clamped = std::clamp(position, 0.0f, static_cast<float>(table.size() - 1));
    // Rounded half away from zero; clamped - whole is exact, as 0 <= clamped < 2^23.
    auto whole = static_cast<std::size_t>(clamped);
    if (clamped - static_cast<float>(whole) >= 0.5f)
        ++whole;
    return table[whole];
}

// The index of column x of row y in a row-major 256-wide array (x, y >= 0).
std::size_t index_of(int x, int y) {
    return static_cast<std::size_t>(y) * SCREEN_WIDTH + static_cast<std::size_t>(x);
}

// One pass of the blur along rows (step 1) or columns (step 256), mirroring the picture's edge.
void blur_pass(const std::vector<Colour>& in, std::vector<Colour>& out, bool along_rows) {
    // exp(-k^2 / 2) for k = 0..3, divided by their sum over -3..3.
    static constexpr std::array<float, 4> WEIGHTS{0.399050f, 0.242036f, 0.054005f, 0.004433f};
    const int length = along_rows ? SCREEN_WIDTH : SCREEN_HEIGHT;
    auto mirror = [length](int position) {
        return position < 0         ? -position - 1
               : position >= length ? 2 * length - position - 1
                                    : position;
    };
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const int position = along_rows ? x : y;
            Colour sum{};
            for (int k = -3; k <= 3; ++k) {
                const int other = mirror(position + k);
                const Colour& colour = in[along_rows ? index_of(other, y) : index_of(x, other)];
                const float weight = WEIGHTS[static_cast<std::size_t>(std::abs(k))];
                for (std::size_t c = 0; c < 3; ++c)
                    sum[c] += weight * colour[c];
            }
            out[index_of(x, y)] = sum;
        }
    }
}

}  // namespace

Colour lab_colour(const Colour& srgb) {
    const LabTables& made = tables();
    const float red = look_up(made.linear, srgb[0] * LINEAR_STEPS);
    const float green = look_up(made.linear, srgb[1] * LINEAR_STEPS);
    const float blue = look_up(made.linear, srgb[2] * LINEAR_STEPS);
    // XYZ of D65 sRGB, each divided by the white point's.
    const float x = (0.4124f * red + 0.3576f * green + 0.1805f * blue) / 0.95047f;
    const float y = 0.2126f * red + 0.7152f * green + 0.0722f * blue;
    const float z = (0.0193f * red + 0.1192f * green + 0.9505f * blue) / 1.08883f;
    const float fx = look_up(made.root, x * ROOT_STEPS);
    const float fy = look_up(made.root, y * ROOT_STEPS);
    const float fz = look_up(made.root, z * ROOT_STEPS);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

std::vector<Colour> blurred_lab_blocks(const RgbPicture& picture) {
    assert(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    assert(picture.rgb.size() == SCREEN_PIXELS * 3);
    std::vector<Colour> colours(SCREEN_PIXELS);
    for (std::size_t i = 0; i < SCREEN_PIXELS; ++i)
        colours[i] = {static_cast<float>(picture.rgb[3 * i]),
                      static_cast<float>(picture.rgb[3 * i + 1]),
                      static_cast<float>(picture.rgb[3 * i + 2])};
    std::vector<Colour> across(SCREEN_PIXELS);
    blur_pass(colours, across, true);
    blur_pass(across, colours, false);
    std::vector<Colour> blocks;
    blocks.reserve(SCREEN_PIXELS / 4);
    for (int y = 0; y < SCREEN_HEIGHT; y += 2) {
        for (int x = 0; x < SCREEN_WIDTH; x += 2) {
            Colour mean{};
            for (std::size_t offset : {0u, 1u, 256u, 257u}) {
                const Colour& colour = colours[index_of(x, y) + offset];
                for (std::size_t c = 0; c < 3; ++c)
                    mean[c] += colour[c] / 4;
            }
            blocks.push_back(lab_colour(mean));
        }
    }
    return blocks;
}

}  // namespace mirva::screen
