#include "containers/fixed_offset.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/expect_failure.h"

namespace mirva::containers {
namespace {

std::vector<std::uint8_t> numbered(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

struct Layout {
    FixedOffsetLayout layout;
    std::size_t screen;
    std::size_t border;  // 0 when the kind has none.
};

TEST(ReadFixedOffsetScreen, TakesScreenAndBorderAtTheKindsOffsets) {
    for (Layout layout : {Layout{SCR_LAYOUT, 0, 0}, Layout{SP_LAYOUT, 38, 34},
                          Layout{SNA_LAYOUT, 27, 26}, Layout{SIT_LAYOUT, 16412, 27}}) {
        auto bytes = numbered(layout.screen + 6912);
        base::MemorySource source(bytes);
        std::uint8_t border = 99;
        auto screen = read_fixed_offset_screen(source, layout.layout, "f", border);
        EXPECT_TRUE(std::equal(screen.begin(), screen.end(), bytes.begin() + layout.screen));
        EXPECT_EQ(border, layout.border ? bytes[layout.border] : 99) << layout.screen;

        bytes.pop_back();
        base::MemorySource short_source(bytes);
        EXPECT_FAILURE(read_fixed_offset_screen(short_source, layout.layout, "f.x", border),
                       "Error leyendo del fichero f.x");
    }
}

TEST(ReadFixedOffsetScreen, KeepsBorderByteUnmaskedAndIgnoresTrailingBytes) {
    auto bytes = numbered(40000);
    bytes[26] = 0xF9;
    base::MemorySource source(bytes);
    std::uint8_t border = 0;
    auto screen = read_fixed_offset_screen(source, SNA_LAYOUT, "a.sna", border);
    EXPECT_EQ(border, 0xF9);
    EXPECT_EQ(screen[0], bytes[27]);
}

}  // namespace
}  // namespace mirva::containers
