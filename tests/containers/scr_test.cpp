#include "containers/scr.h"

#include <gtest/gtest.h>

#include "support/expect_failure.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using testing::Bytes;
using testing::operator+;

// A +3DOS header as a +3 writes it for SAVE "s" SCREEN$: the signature, issue 1 version 0, the
// file length, the BASIC header (CODE 6912 at 16384), and the checksum of the first 127 bytes.
Bytes plus3dos_header(std::uint32_t data_length) {
    Bytes header{'P', 'L', 'U', 'S', '3', 'D', 'O', 'S', 0x1A, 1, 0};
    header = header + testing::little_endian_bytes(128 + data_length, 4);
    header = header + Bytes{3} + testing::little_endian_bytes(data_length, 2) +
             testing::little_endian_bytes(16384, 2) + Bytes{0, 0x80};
    header.resize(127, 0);
    std::uint8_t checksum = 0;
    for (std::uint8_t byte : header)
        checksum = static_cast<std::uint8_t>(checksum + byte);
    header.push_back(checksum);
    return header;
}

screen::ScreenImage read(const Bytes& file) {
    base::MemorySource source(file);
    std::uint8_t border = 99;
    auto screen = read_scr_screen(source, "in.scr", border);
    EXPECT_EQ(border, 99);
    return screen;
}

TEST(ReadScrScreen, TakesTheScreenOfEveryVariant) {
    const auto card = testing::make_test_card();
    const Bytes screen(card.begin(), card.end());
    const Bytes bitmap(card.begin(), card.begin() + 6144);
    screen::ScreenImage bitmap_only = card;
    std::fill(bitmap_only.begin() + 6144, bitmap_only.end(), 0x38);  // Black ink, white paper.
    Bytes signature_only = screen;  // The signature without the rest is a plain screen.
    std::copy_n("PLUS3DOS", 8, signature_only.begin());

    struct Case {
        std::string name;
        Bytes file;
        screen::ScreenImage expected;
    };
    const std::vector<Case> cases{
        {"plain", screen, card},
        {"longer", screen + Bytes(100, 0xAA), card},
        {"bitmap only", bitmap, bitmap_only},
        {"+3DOS", plus3dos_header(6912) + screen, card},
        {"+3DOS, longer", plus3dos_header(6912) + screen + Bytes(128, 0x1A), card},
        {"+3DOS, bitmap only", plus3dos_header(6144) + bitmap, bitmap_only},
        {"signature without the end-of-file byte", signature_only,
         [&] {
             screen::ScreenImage expected = card;
             std::copy_n("PLUS3DOS", 8, expected.begin());
             return expected;
         }()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file), c.expected) << c.name;
}

TEST(ReadScrScreen, RefusesFilesTooShortForAScreen) {
    const auto card = testing::make_test_card();
    const Bytes screen(card.begin(), card.end());
    for (std::size_t length : {0u, 6143u, 6145u, 6911u}) {
        EXPECT_FAILURE(read(Bytes(screen.begin(), screen.begin() + length)),
                       "Error leyendo del fichero in.scr");
        EXPECT_FAILURE(read(plus3dos_header(6912) + Bytes(screen.begin(), screen.begin() + length)),
                       "Error leyendo del fichero in.scr");
    }
    EXPECT_FAILURE(read(plus3dos_header(6912)), "Error leyendo del fichero in.scr");
}

}  // namespace
}  // namespace mirva::containers
