#include "base/buffered_source.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/counting_source.h"

namespace mirva::base {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The same steps on a buffered source and on the memory under it alone must give the same
// bytes and results, whatever the buffer's size.
TEST(BufferedSource, ReadsSkipsAndSeeksAsTheSourceUnderIt) {
    Bytes bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    constexpr auto FAR = std::numeric_limits<std::uint64_t>::max();
    struct Step {
        char what;  // r: read, s: skip, p: seek, c: peek one and consume it.
        std::uint64_t count;
    };
    const std::vector<Step> steps{{'r', 0},   {'r', 1},   {'c', 0},    {'r', 5},   {'s', 0},
                                  {'s', 3},   {'r', 70},  {'s', 200},  {'r', 2},   {'c', 0},
                                  {'p', 10},  {'r', 9},   {'s', 61},   {'r', 64},  {'r', 400},
                                  {'s', 100}, {'r', 300}, {'r', 1},    {'p', 995}, {'r', 10},
                                  {'r', 1},   {'p', 2},   {'s', 5000}, {'r', 1},   {'p', 0},
                                  {'s', FAR}, {'p', 998}, {'c', 0},    {'r', 2},   {'c', 0}};
    for (std::size_t capacity : {1u, 3u, 64u, 65536u}) {
        MemorySource plain(bytes);
        MemorySource under(bytes);
        BufferedSource buffered(under, capacity);
        for (std::size_t index = 0; index < steps.size(); ++index) {
            auto [what, count] = steps[index];
            SCOPED_TRACE("capacity " + std::to_string(capacity) + ", step " +
                         std::to_string(index));
            if (what == 'r') {
                Bytes expected(count, 0xEE);
                Bytes got(count, 0xEE);
                ASSERT_EQ(buffered.read(got), plain.read(expected));
                ASSERT_EQ(got, expected);
            } else if (what == 's') {
                ASSERT_EQ(buffered.skip(count), plain.skip(count));
            } else if (what == 'p') {
                ASSERT_EQ(buffered.seek(count), plain.seek(count));
            } else {
                std::array<std::uint8_t, 1> expected{};
                auto held = buffered.peek();
                ASSERT_EQ(held.empty(), plain.read(expected) == 0);
                if (!held.empty()) {
                    ASSERT_EQ(held[0], expected[0]);
                    buffered.consume(1);
                }
            }
        }
        EXPECT_EQ(buffered.size(), 1000u);
    }
}

TEST(BufferedSource, ReadsTheSourceOnceABufferful) {
    Bytes bytes(100000, 1);
    testing::CountingSource under(bytes);
    BufferedSource buffered(under, 1000);
    std::array<std::uint8_t, 2> pair{};
    while (buffered.read_all(pair))
        ASSERT_TRUE(buffered.skip(1));
    EXPECT_EQ(under.reads, 101u);  // A hundred full buffers and the one that finds the end.
}

}  // namespace
}  // namespace mirva::base
