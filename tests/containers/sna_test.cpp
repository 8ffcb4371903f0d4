#include "containers/sna.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/expect_failure.h"
#include "support/snapshot_128k.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using Bytes = std::vector<std::uint8_t>;

screen::ScreenImage read(const Bytes& file, std::uint8_t& border) {
    base::MemorySource source(file);
    return read_sna_screen(source, "a.sna", border);
}

// Every bank at 0xC000, with bank 7 shown or not: bank 7 may lie in the 48K part or among the
// other banks, and a file has 131103 bytes, or 147487 when bank 2 or 5 is paged.
TEST(ReadSnaScreen, TakesTheBankA128kSnapshotShows) {
    auto banks = testing::make_banks(testing::make_test_card());
    for (std::uint8_t paged = 0; paged < 8; ++paged) {
        for (std::uint8_t shadow : {0x00, 0x08}) {
            auto port = static_cast<std::uint8_t>(0x10 | shadow | paged);
            auto sna = testing::make_sna_128(banks, 6, port);
            EXPECT_EQ(sna.size(), paged == 2 || paged == 5 ? 147487u : 131103u);
            std::uint8_t border = 0;
            EXPECT_EQ(read(sna, border), testing::bank_screen(banks[shadow ? 7 : 5])) << int{port};
            EXPECT_EQ(border, 6);
        }
    }
}

TEST(ReadSnaScreen, KeepsTheFixedOffsetForEveryOtherSize) {
    auto card = testing::make_test_card();
    auto banks = testing::make_banks(card);
    auto sna = testing::make_sna_128(banks, 2, 0x18);
    std::uint8_t border = 0;
    // One byte more or less than a 128K SNA is a 48K SNA, read at the fixed offset.
    for (std::size_t size : {std::size_t{49179}, std::size_t{131102}, std::size_t{131104}}) {
        sna.resize(size, 0);
        EXPECT_EQ(read(sna, border), card) << size;
    }
    EXPECT_EQ(border, 2);
}

TEST(ReadSnaScreen, RefusesA128kSnapshotWhoseSizeLeavesNoRoomForBankSeven) {
    auto banks = testing::make_banks(testing::make_test_card());
    // Bank 5 paged makes a 147487-byte file; cut to 131103 bytes, bank 7 lies past its end.
    auto sna = testing::make_sna_128(banks, 2, 0x0D);
    sna.resize(131103);
    base::MemorySource source(sna);
    std::uint8_t border = 0;
    EXPECT_FAILURE(read_sna_screen(source, "a.sna", border), "Error leyendo del fichero a.sna");
    EXPECT_EQ(sna_128k_screen_offset(131103, 0x0D), std::optional<std::uint64_t>{131103});
    EXPECT_EQ(sna_128k_screen_offset(49179, 0x0F), std::nullopt);
}

}  // namespace
}  // namespace mirva::containers
