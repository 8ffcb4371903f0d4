#include "base/buffered_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/virtual_source.h"

namespace mirva::base {
namespace {

using testing::VirtualSource;

TEST(BufferedReader, ReadsOnInWholeBuffersAndLittleAfterASkip) {
    VirtualSource source(1'000'000);
    std::vector<std::uint8_t> marks(200'000);
    for (std::size_t i = 0; i < marks.size(); ++i)
        marks[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    source.put(0, marks);
    BufferedReader in(source, 1'000'000);

    // Small reads in a row cost one call per buffer.
    std::array<std::uint8_t, 3> three{};
    for (std::size_t at = 0; at < 3 * 10'000; at += 3) {
        ASSERT_TRUE(in.read(three));
        ASSERT_EQ(three[2], marks[at + 2]) << at;
    }
    EXPECT_EQ(source.read_calls, 1u);
    EXPECT_EQ(source.bytes_read, BufferedReader::BUFFER_BYTES);

    // A read across the end of the buffer carries on with the next one.
    ASSERT_TRUE(in.skip(BufferedReader::BUFFER_BYTES - 30'000 - 1));
    std::array<std::uint8_t, 2> two{};
    ASSERT_TRUE(in.read(two));
    EXPECT_EQ(two[0], marks[BufferedReader::BUFFER_BYTES - 1]);
    EXPECT_EQ(two[1], marks[BufferedReader::BUFFER_BYTES]);
    EXPECT_EQ(source.read_calls, 2u);

    // Past the buffer, a skip reads only a little where it lands; reading on from there reads
    // whole buffers again.
    ASSERT_TRUE(in.skip(100'000));
    const std::uint64_t landed = in.position();
    ASSERT_TRUE(in.read(three));
    EXPECT_EQ(three[0], marks[landed]);
    EXPECT_EQ(source.read_calls, 3u);
    EXPECT_EQ(source.bytes_read,
              2 * BufferedReader::BUFFER_BYTES + BufferedReader::SKIP_READ_BYTES);
    std::vector<std::uint8_t> across(2000);
    ASSERT_TRUE(in.read(across));
    EXPECT_TRUE(std::equal(across.begin(), across.end(), marks.begin() + landed + 3));
    EXPECT_EQ(source.read_calls, 4u);
}

TEST(BufferedReader, StopsAtTheEndWithoutMoving) {
    VirtualSource source(10);
    BufferedReader in(source, 10);
    std::array<std::uint8_t, 4> four{};
    EXPECT_TRUE(in.read(four));
    EXPECT_FALSE(in.skip(7));
    EXPECT_EQ(in.position(), 4u);
    EXPECT_TRUE(in.skip(3));
    EXPECT_FALSE(in.read(four));
    EXPECT_EQ(in.remaining(), 3u);
    EXPECT_TRUE(in.read(std::span(four).first(3)));
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_FALSE(in.read(std::span(four).first(1)));
    EXPECT_TRUE(in.read(std::span(four).first(0)));

    // A source that ends sooner than its size said.
    VirtualSource shrunk(10);
    BufferedReader claims_more(shrunk, 20);
    std::array<std::uint8_t, 12> twelve{};
    EXPECT_FALSE(claims_more.read(twelve));
}

}  // namespace
}  // namespace mirva::base
