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
    cli::FileKind kind;
    std::size_t screen;
    std::size_t border;  // 0 when the kind has none.
};

TEST(ReadFixedOffsetScreen, TakesScreenAndBorderAtTheKindsOffsets) {
    for (Layout layout : {Layout{cli::KIND_SCR, 0, 0}, Layout{cli::KIND_SP, 38, 34},
                          Layout{cli::KIND_SNA, 27, 26}, Layout{cli::KIND_SIT, 16412, 27}}) {
        auto bytes = numbered(layout.screen + 6912);
        cli::MemorySource source(bytes);
        std::uint8_t border = 99;
        auto screen = read_fixed_offset_screen(source, layout.kind, "f", border);
        EXPECT_TRUE(std::equal(screen.begin(), screen.end(), bytes.begin() + layout.screen));
        EXPECT_EQ(border, layout.border ? bytes[layout.border] : 99) << layout.kind;
        EXPECT_EQ(screen_offset(layout.kind), layout.screen);

        bytes.pop_back();
        cli::MemorySource short_source(bytes);
        EXPECT_FAILURE(read_fixed_offset_screen(short_source, layout.kind, "f.x", border),
                       "Error leyendo del fichero f.x");
    }
}

TEST(ReadFixedOffsetScreen, KeepsBorderByteUnmaskedAndIgnoresTrailingBytes) {
    auto bytes = numbered(40000);
    bytes[26] = 0xF9;
    cli::MemorySource source(bytes);
    std::uint8_t border = 0;
    auto screen = read_fixed_offset_screen(source, cli::KIND_SNA, "a.sna", border);
    EXPECT_EQ(border, 0xF9);
    EXPECT_EQ(screen[0], bytes[27]);
}

}  // namespace
}  // namespace mirva::containers
