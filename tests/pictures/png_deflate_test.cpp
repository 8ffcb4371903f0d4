#include "pictures/png_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace mirva::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A row of the picture as given: its bytes, or empty for a repeat of the row above.
using Row = Bytes;

// The bytes a repeat stands for: zeros after a row of zeros, else the filter Up and zeros.
Bytes expected_stream(const std::vector<Row>& rows, std::size_t line) {
    Bytes stream;
    for (const Row& row : rows) {
        if (!row.empty()) {
            stream.insert(stream.end(), row.begin(), row.end());
            continue;
        }
        const bool zeros = std::all_of(stream.end() - static_cast<long>(line), stream.end(),
                                       [](std::uint8_t byte) { return byte == 0; });
        stream.push_back(zeros ? 0 : 2);
        stream.insert(stream.end(), line - 1, 0);
    }
    return stream;
}

Bytes inflated(const Bytes& compressed, std::size_t size) {
    Bytes out(size + 1);
    uLongf out_size = out.size();
    EXPECT_EQ(uncompress(out.data(), &out_size, compressed.data(), compressed.size()), Z_OK);
    out.resize(out_size);
    return out;
}

Bytes pseudo_random_row(std::size_t line, std::uint32_t& state, unsigned mask) {
    Bytes row(line);
    for (auto& byte : row) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state & mask);
    }
    row[0] = 0;
    return row;
}

// Every stream inflates, with zlib's checks of the header and the Adler-32, to the rows given:
// rows of one or two bytes, runs of zeros that end at and around the longest match (258) and
// go on through many rows, rows of few values that are matched within and across rows, matches
// that would reach past the 32 KiB window, and repeats after rows of zeros and after others.
TEST(PngDeflate, InflatesToTheRowsGiven) {
    struct Case {
        std::string name;
        std::size_t line;
        std::vector<Row> rows;
    };
    std::vector<Case> cases;
    cases.push_back({"one byte rows", 2, {{0, 7}, {}, {0, 0}, {}, {}, {1, 0}, {}}});
    for (std::size_t line : {258u, 259u, 260u, 261u, 262u, 517u}) {
        Case c{"zeros " + std::to_string(line), line, {Bytes(line, 0)}};
        c.rows.resize(40);  // All repeats of a row of zeros: one run through every row.
        Bytes dot(line, 0);
        dot[line / 2] = 9;
        c.rows.push_back(dot);
        c.rows.resize(c.rows.size() + 7);
        cases.push_back(c);
    }
    std::uint32_t state = 2463534242u;
    {
        // Few values: many short matches, near and a row or more back, and literals.
        Case c{"few values", 513, {}};
        for (int k = 0; k < 70; ++k)
            c.rows.push_back(k % 3 == 2 ? Row{} : pseudo_random_row(513, state, 0x03));
        cases.push_back(c);
    }
    {
        // A row that comes back 32 rows of 1025 bytes later, 32 bytes past the window, after
        // rows with none of its strings: it must not be matched there.
        Case c{"past the window", 1025, {}};
        Bytes first = pseudo_random_row(1025, state, 0x7F);
        for (std::size_t x = 1; x < first.size(); ++x)
            first[x] |= 0x80;
        c.rows.push_back(first);
        for (int k = 0; k < 31; ++k)
            c.rows.push_back(pseudo_random_row(1025, state, 0x0F));
        c.rows.push_back(first);
        c.rows.push_back({});
        cases.push_back(c);
    }
    {
        // Scaled pixels: each byte twice, each row four times, as the writer gives them.
        Case c{"scaled", 257, {}};
        for (int k = 0; k < 48; ++k) {
            Bytes row = pseudo_random_row(257, state, 0x11);
            for (std::size_t x = 2; x < row.size(); x += 2)
                row[x] = row[x - 1];
            c.rows.push_back(row);
            c.rows.resize(c.rows.size() + 3);
        }
        cases.push_back(c);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PngDeflate deflate(c.line, c.rows.size());
        for (const Row& row : c.rows) {
            if (row.empty())
                deflate.repeat_row();
            else
                deflate.add_row(row);
        }
        Bytes file{'x'};
        deflate.finish(file);
        ASSERT_EQ(file[0], 'x');  // Appended to what the file holds.
        const Bytes expected = expected_stream(c.rows, c.line);
        EXPECT_EQ(Bytes(deflate.rows().begin(), deflate.rows().end()), expected);
        EXPECT_EQ(inflated(Bytes(file.begin() + 1, file.end()), expected.size()), expected);
    }
}

// A repeated row costs a few symbols, not a search: a thousand repeats of a row of 1025 bytes
// (a row of a screen at --scale=8) take under 4 bytes each.
TEST(PngDeflate, WritesRepeatsInAFewBytes) {
    const std::size_t line = 1025;
    std::uint32_t state = 88172645u;
    PngDeflate deflate(line, 1001);
    deflate.add_row(pseudo_random_row(line, state, 0x77));
    for (int k = 0; k < 1000; ++k)
        deflate.repeat_row();
    Bytes file;
    deflate.finish(file);
    EXPECT_LT(file.size(), line + 4 * 1000u);
    std::vector<Row> rows{Bytes(deflate.rows().begin(), deflate.rows().begin() + line)};
    rows.resize(1001);
    EXPECT_EQ(inflated(file, 1001 * line), expected_stream(rows, line));
}

}  // namespace
}  // namespace mirva::pictures
