#include "base/byte_source.h"

#include <gtest/gtest.h>

#include <vector>

namespace mirva::base {
namespace {

TEST(MemorySource, ReadsLikeAFileAndAllowsSeeksPastTheEnd) {
    std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5};
    MemorySource source(bytes);
    std::vector<std::uint8_t> out(3);
    EXPECT_TRUE(source.read_all(out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(source.read_all(out));  // Only two bytes were left.
    EXPECT_TRUE(source.seek(100));
    EXPECT_EQ(source.read(out), 0u);
    EXPECT_TRUE(source.seek(1));
    EXPECT_TRUE(source.skip(2));
    EXPECT_EQ(source.read(out), 2u);
    EXPECT_EQ(out[0], 4);
    EXPECT_FALSE(source.skip(~std::uint64_t{0}));
    std::vector<std::uint8_t> none;
    EXPECT_TRUE(source.read_all(none));
    EXPECT_EQ(source.size(), 5u);
}

}  // namespace
}  // namespace mirva::base
