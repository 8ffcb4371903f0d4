#include "screen/dither.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "screen/palette.h"

namespace mirva::screen {

namespace {

using Colour = std::array<float, 3>;

struct Knobs {
    bool linear = false;
    float clamp = 1.0f;
    float leak = 0.0f;
    int candidates = 72;
    int cost = 0;
    float noise = 0.0f;
    int samples = 9;
};

const Knobs& knobs() {
    static Knobs k = [] {
        Knobs made;
        if (const char* v = std::getenv("DQ_LINEAR"))
            made.linear = std::atoi(v) != 0;
        if (const char* v = std::getenv("DQ_CLAMP"))
            made.clamp = static_cast<float>(std::atof(v));
        if (const char* v = std::getenv("DQ_LEAK"))
            made.leak = static_cast<float>(std::atof(v));
        if (const char* v = std::getenv("DQ_COST"))
            made.cost = std::atoi(v);
        if (const char* v = std::getenv("DQ_NOISE"))
            made.noise = static_cast<float>(std::atof(v));
        if (const char* v = std::getenv("DQ_SAMPLES"))
            made.samples = std::atoi(v);
        if (const char* v = std::getenv("DQ_CANDIDATES"))
            made.candidates = std::atoi(v);
        return made;
    }();
    return k;
}

float to_space(float byte) {
    if (!knobs().linear)
        return byte;
    float c = byte / 255.0f;
    float l = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
    return 255.0f * l;
}

struct Pair {
    std::uint8_t first;
    std::uint8_t second;
};

std::array<Pair, 72> make_pairs() {
    std::array<Pair, 72> pairs{};
    std::size_t n = 0;
    for (std::uint8_t bright = 0; bright < 16; bright += 8)
        for (std::uint8_t a = 0; a < 8; ++a)
            for (std::uint8_t b = a; b < 8; ++b)
                pairs[n++] = {static_cast<std::uint8_t>(a + bright),
                              static_cast<std::uint8_t>(b + bright)};
    return pairs;
}

struct Tap {
    int dx;
    int dy;
    float weight;
};

const std::vector<Tap> FLOYD{{1, 0, 7 / 16.0f}, {-1, 1, 3 / 16.0f}, {0, 1, 5 / 16.0f},
                             {1, 1, 1 / 16.0f}};
const std::vector<Tap> ATKINSON{{1, 0, 1 / 8.0f},  {2, 0, 1 / 8.0f}, {-1, 1, 1 / 8.0f},
                                {0, 1, 1 / 8.0f},  {1, 1, 1 / 8.0f}, {0, 2, 1 / 8.0f}};

inline constexpr int PAD = 2;
inline constexpr int STRIDE = SCREEN_WIDTH + 2 * PAD;

struct Work {
    std::vector<Colour> values = std::vector<Colour>(std::size_t{STRIDE} * (SCREEN_HEIGHT + PAD));
    Colour& at(int x, int y) { return values[static_cast<std::size_t>(y * STRIDE + x + PAD)]; }
};

float distance(const Colour& a, const Colour& b) {
    float r = a[0] - b[0], g = a[1] - b[1], bl = a[2] - b[2];
    return r * r + g * g + bl * bl;
}

struct Context {
    std::array<Colour, 16> palette;
    float low;
    float high;
};

float diffuse_cell(const Context& context, Work& work, int column, int row, Pair pair,
                   const std::vector<Tap>& kernel, ScreenImage* screen) {
    std::array<Colour, 64> local;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            local[static_cast<std::size_t>(y * 8 + x)] = work.at(column * 8 + x, row * 8 + y);
    const Colour& a = context.palette[pair.first];
    const Colour& b = context.palette[pair.second];
    float cost = 0;
    Colour leaving{};
    std::array<std::uint8_t, 8> bits{};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            Colour w = local[static_cast<std::size_t>(y * 8 + x)];
            for (auto& c : w)
                c = std::clamp(c, context.low, context.high);
            float da = distance(w, a);
            float db = distance(w, b);
            bool second = db < da;
            const Colour& chosen = second ? b : a;
            cost += second ? db : da;
            if (second)
                bits[static_cast<std::size_t>(y)] |= static_cast<std::uint8_t>(0x80 >> x);
            Colour q{w[0] - chosen[0], w[1] - chosen[1], w[2] - chosen[2]};
            for (const Tap& tap : kernel) {
                int tx = x + tap.dx;
                int ty = y + tap.dy;
                if (tx < 0)
                    tx = x;
                if (tx < 8 && ty < 8) {
                    auto& target = local[static_cast<std::size_t>(ty * 8 + tx)];
                    for (int c = 0; c < 3; ++c)
                        target[static_cast<std::size_t>(c)] += q[static_cast<std::size_t>(c)] * tap.weight;
                } else {
                    for (int c = 0; c < 3; ++c)
                        leaving[static_cast<std::size_t>(c)] += q[static_cast<std::size_t>(c)] * tap.weight;
                    if (screen) {
                        auto& target = work.at(column * 8 + tx, row * 8 + ty);
                        for (int c = 0; c < 3; ++c)
                            target[static_cast<std::size_t>(c)] += q[static_cast<std::size_t>(c)] * tap.weight;
                    }
                }
            }
        }
    }
    cost += knobs().leak * (leaving[0] * leaving[0] + leaving[1] * leaving[1] + leaving[2] * leaving[2]);
    if (screen) {
        const std::size_t cell = static_cast<std::size_t>(row * 32 + column);
        const int ink = pair.second & 7;
        const int paper = pair.first & 7;
        const int bright = pair.first >= 8 ? 0x40 : 0;
        (*screen)[BITMAP_BYTES + cell] = static_cast<std::uint8_t>(ink | paper << 3 | bright);
        for (int y = 0; y < 8; ++y)
            (*screen)[bitmap_row_offset(row * 8 + y) + static_cast<std::size_t>(column)] = bits[static_cast<std::size_t>(y)];
    }
    return cost;
}

constexpr std::array<int, 64> bayer() {
    std::array<int, 64> m{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int v = 0;
            int xc = x ^ y;
            for (int bit = 0; bit < 3; ++bit)
                v = (v << 2) | (((xc >> bit) & 1) << 1) | ((y >> bit) & 1);
            m[static_cast<std::size_t>(y * 8 + x)] = v;
        }
    return m;
}
inline constexpr std::array<int, 64> BAYER = bayer();

float ordered_cell(const Context& context, Work& work, int column, int row, Pair pair,
                   ScreenImage* screen) {
    const Colour& a = context.palette[pair.first];
    const Colour& b = context.palette[pair.second];
    Colour d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    float dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    float cost = 0;
    std::array<std::uint8_t, 8> bits{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const Colour& p = work.at(column * 8 + x, row * 8 + y);
            bool second = false;
            if (dd > 0) {
                float t = ((p[0] - a[0]) * d[0] + (p[1] - a[1]) * d[1] + (p[2] - a[2]) * d[2]) / dd;
                second = t * 64 > static_cast<float>(BAYER[static_cast<std::size_t>(y * 8 + x)]) + 0.5f;
            }
            cost += distance(p, second ? b : a);
            if (second)
                bits[static_cast<std::size_t>(y)] |= static_cast<std::uint8_t>(0x80 >> x);
        }
    if (screen) {
        const std::size_t cell = static_cast<std::size_t>(row * 32 + column);
        const int ink = pair.second & 7;
        const int paper = pair.first & 7;
        const int bright = pair.first >= 8 ? 0x40 : 0;
        (*screen)[BITMAP_BYTES + cell] = static_cast<std::uint8_t>(ink | paper << 3 | bright);
        for (int y = 0; y < 8; ++y)
            (*screen)[bitmap_row_offset(row * 8 + y) + static_cast<std::size_t>(column)] = bits[static_cast<std::size_t>(y)];
    }
    return cost;
}


float gamma_value(float v) {
    // Back from the working space to 0..1 sRGB.
    float c = std::clamp(v / 255.0f, 0.0f, 1.0f);
    if (!knobs().linear)
        return c;
    return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
}

Colour to_lab(const Colour& colour) {
    std::array<float, 3> lin{};
    for (int i = 0; i < 3; ++i) {
        float c = gamma_value(colour[static_cast<std::size_t>(i)]);
        lin[static_cast<std::size_t>(i)] = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
    }
    float x = (0.4124f * lin[0] + 0.3576f * lin[1] + 0.1805f * lin[2]) / 0.95047f;
    float y = 0.2126f * lin[0] + 0.7152f * lin[1] + 0.0722f * lin[2];
    float z = (0.0193f * lin[0] + 0.1192f * lin[1] + 0.9505f * lin[2]) / 1.08883f;
    auto f = [](float t) { return t > 0.008856f ? std::cbrt(t) : 7.787f * t + 16.0f / 116.0f; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

float segment_cost(const Context& context, Work& work, int column, int row, Pair pair) {
    const Colour& a = context.palette[pair.first];
    const Colour& b = context.palette[pair.second];
    Colour d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    float dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    float cost = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            Colour p = work.at(column * 8 + x, row * 8 + y);
            for (auto& c : p)
                c = std::clamp(c, context.low, context.high);
            float t = 0;
            if (dd > 0)
                t = std::clamp(((p[0] - a[0]) * d[0] + (p[1] - a[1]) * d[1] + (p[2] - a[2]) * d[2]) / dd, 0.0f, 1.0f);
            Colour m{a[0] + t * d[0], a[1] + t * d[1], a[2] + t * d[2]};
            cost += distance(p, m) + knobs().noise * t * (1 - t) * dd;
        }
    return cost;
}

struct LabCell {
    std::array<Colour, 64> lab;
};

float lab_cost(const Context& context, const LabCell& cell, Pair pair) {
    const Colour& a = context.palette[pair.first];
    const Colour& b = context.palette[pair.second];
    int samples = pair.first == pair.second ? 1 : knobs().samples;
    std::vector<Colour> points;
    std::vector<float> noise;
    for (int s = 0; s < samples; ++s) {
        float t = samples == 1 ? 0.0f : static_cast<float>(s) / static_cast<float>(samples - 1);
        points.push_back(to_lab({a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]), a[2] + t * (b[2] - a[2])}));
        noise.push_back(t * (1 - t) * knobs().noise * distance(to_lab(a), to_lab(b)));
    }
    float cost = 0;
    for (const Colour& p : cell.lab) {
        float best = 1e30f;
        for (std::size_t s = 0; s < points.size(); ++s)
            best = std::min(best, distance(p, points[s]) + noise[s]);
        cost += best;
    }
    return cost;
}

}  // namespace

ScreenImage dither_to_screen(const RgbPicture& picture, Dither mode) {
    assert(picture.width == SCREEN_WIDTH && picture.height == SCREEN_HEIGHT);
    assert(picture.rgb.size() == SCREEN_PIXELS * 3);
    assert(mode != Dither::none);
    std::array<float, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[static_cast<std::size_t>(i)] = to_space(static_cast<float>(i));
    Context context{};
    for (std::size_t i = 0; i < 16; ++i)
        context.palette[i] = {table[spectrum_palette[i].red * 4u], table[spectrum_palette[i].green * 4u],
                              table[spectrum_palette[i].blue * 4u]};
    float span = 255.0f * knobs().clamp;
    context.low = -span;
    context.high = 255.0f + span;
    Work work;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            std::size_t i = (static_cast<std::size_t>(y) * SCREEN_WIDTH + static_cast<std::size_t>(x)) * 3;
            work.at(x, y) = {table[picture.rgb[i]], table[picture.rgb[i + 1]], table[picture.rgb[i + 2]]};
        }
    static const std::array<Pair, 72> pairs = make_pairs();
    ScreenImage screen{};
    const std::vector<Tap>& kernel = mode == Dither::atkinson ? ATKINSON : FLOYD;
    for (int row = 0; row < 24; ++row)
        for (int column = 0; column < 32; ++column) {
            float best = 0;
            std::size_t chosen = 0;
            LabCell lab_cell{};
            if (knobs().cost == 2 && mode != Dither::ordered)
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        Colour p = work.at(column * 8 + x, row * 8 + y);
                        for (auto& c : p)
                            c = std::clamp(c, context.low, context.high);
                        lab_cell.lab[static_cast<std::size_t>(y * 8 + x)] = to_lab(p);
                    }
            for (std::size_t p = 0; p < pairs.size(); ++p) {
                float cost = (knobs().cost == 1 && mode != Dither::ordered) ? segment_cost(context, work, column, row, pairs[p])
                             : (knobs().cost == 2 && mode != Dither::ordered) ? lab_cost(context, lab_cell, pairs[p])
                             : mode == Dither::ordered
                                 ? ordered_cell(context, work, column, row, pairs[p], nullptr)
                                 : diffuse_cell(context, work, column, row, pairs[p], kernel, nullptr);
                if (p == 0 || cost < best) {
                    best = cost;
                    chosen = p;
                }
            }
            if (mode == Dither::ordered)
                ordered_cell(context, work, column, row, pairs[chosen], &screen);
            else
                diffuse_cell(context, work, column, row, pairs[chosen], kernel, &screen);
        }
    return screen;
}

}  // namespace mirva::screen
