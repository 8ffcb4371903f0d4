#include "screen/written_rows.h"

#include <gtest/gtest.h>

#include "screen/render.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::screen {
namespace {

// Every row of the written picture, in order and then in reverse, against the rendered screen
// looked up pixel by pixel: the border outside the screen, screen pixel (x / N, y / N) inside.
TEST(WrittenRows, ScaleAndBorderPlaceEveryRenderedPixel) {
    const auto card = testing::make_test_card();
    struct Case {
        Options options;
        std::uint8_t border_colour;
        bool flash_phase;
    };
    const std::vector<Case> cases{
        {{}, 0, false},
        {{.scale = 2}, 5, true},
        {{.border = true}, 2, false},
        {{.bw = true, .scale = 3, .border = true}, 0x0E, true},  // Shown: 6, the low bits.
        {{.inverse = true, .scale = 8, .border = true}, 7, false},
    };
    for (const auto& c : cases) {
        const WrittenRows rows(card, c.border_colour, c.options, c.flash_phase);
        const Picture rendered =
            render_screen(card, c.options.bw, c.options.inverse, c.flash_phase);
        const PictureSize size = rows.size();
        ASSERT_EQ(size, written_size(c.options));
        const int scale = c.options.scale;
        const int left = c.options.border ? 32 : 0;
        const int top = c.options.border ? 24 : 0;
        for (int pass = 0; pass < 2; ++pass) {
            std::size_t wrong = 0;
            for (int k = 0; k < size.height; ++k) {
                const int y = pass == 0 ? k : size.height - 1 - k;
                const auto row = rows(y);
                ASSERT_EQ(row.size(), static_cast<std::size_t>(size.width));
                for (int x = 0; x < size.width; ++x) {
                    const int column = x / scale - left;
                    const int line = y / scale - top;
                    const bool inside = column >= 0 && column < 256 && line >= 0 && line < 192;
                    const std::uint8_t expected =
                        inside ? rendered.pixels[static_cast<std::size_t>(line * 256 + column)]
                               : static_cast<std::uint8_t>(c.border_colour & 7);
                    wrong += row[static_cast<std::size_t>(x)] != expected;
                }
            }
            EXPECT_EQ(wrong, 0u) << "scale " << scale << " pass " << pass;
        }
        EXPECT_FAILURE(rows(size.height), base::MSG_INTERNAL);
    }
    EXPECT_FAILURE(WrittenRows(card, 0, {.scale = 9}, false), base::MSG_INTERNAL);
}

TEST(HasVisibleFlash, NeedsAFlashBitAndInkUnlikePaper) {
    ScreenImage screen{};
    EXPECT_FALSE(has_visible_flash(screen, {}));
    screen[BITMAP_BYTES + 700] = 0x80 | 0x40 | (3 << 3) | 3;  // Flashing, ink = paper.
    EXPECT_FALSE(has_visible_flash(screen, {}));
    EXPECT_FALSE(has_visible_flash(screen, {.inverse = true}));
    EXPECT_TRUE(has_visible_flash(screen, {.bw = true}));  // White ink on black paper.
    screen[BITMAP_BYTES + 767] = 0x80 | 1;  // Flashing blue on black, in the last cell.
    EXPECT_TRUE(has_visible_flash(screen, {}));
    screen[BITMAP_BYTES + 767] = 0x7F;  // Every bit but the flash bit.
    EXPECT_FALSE(has_visible_flash(screen, {}));
    // Whichever it says, the two phases render alike exactly when it says no.
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        auto random = testing::make_random_screen(seed);
        EXPECT_EQ(has_visible_flash(random, {}),
                  render_screen(random, false, false, false).pixels !=
                      render_screen(random, false, false, true).pixels);
    }
}

}  // namespace
}  // namespace mirva::screen
