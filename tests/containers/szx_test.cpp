#include "containers/szx.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/expect_failure.h"
#include "support/snapshot_128k.h"
#include "support/szx_file.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::make_szx;
using testing::ramp_chunk;
using testing::spcr_chunk;
const std::string READ_FAILURE = "Error leyendo del fichero a.szx";

screen::ScreenImage read(const Bytes& file, std::uint8_t& border) {
    base::MemorySource source(file);
    return read_szx_screen(source, "a.szx", border);
}

void expect_refused(const Bytes& file, const std::string& what) {
    SCOPED_TRACE(what);
    base::MemorySource source(file);
    std::uint8_t border = 0;
    EXPECT_FAILURE(read_szx_screen(source, "a.szx", border), READ_FAILURE);
}

// The machine and bit 3 of port 0x7FFD decide between pages 5 and 7, whether the pages are
// compressed, and wherever the registers lie among the chunks.
TEST(ReadSzxScreen, TakesTheScreenOnDisplayAndTheBorder) {
    auto banks = testing::make_banks(testing::make_test_card());
    struct Case {
        std::uint8_t machine;
        std::uint8_t port;
        std::size_t shown_bank;
    };
    const Case cases[] = {
        {2, 0x10, 5},   // 128K, bank 7 not shown.
        {2, 0x18, 7},   // 128K showing bank 7.
        {3, 0x1F, 7},   // +2, bank 7 paged in and shown.
        {5, 0x0D, 7},   // +3.
        {7, 0x08, 7},   // Pentagon 128.
        {16, 0x08, 7},  // 128Ke.
        {1, 0x08, 5},   // 48K: no port 0x7FFD, whatever the registers hold.
        {0, 0x08, 5},   // 16K.
        {8, 0x08, 5},   // TC2048.
        {15, 0x08, 5},  // 48K NTSC.
    };
    std::uint8_t border = 0;
    for (const Case& c : cases) {
        for (bool compressed : {false, true}) {
            for (bool registers_last : {false, true}) {
                std::vector<Bytes> chunks{testing::szx_chunk("CRTR", Bytes(37, 'x'))};
                if (!registers_last)
                    chunks.push_back(spcr_chunk(border | 0xF8, c.port));
                for (std::uint8_t page : {0, 2, 5, 7, 1})
                    chunks.push_back(ramp_chunk(page, banks[page], compressed));
                if (registers_last)
                    chunks.push_back(spcr_chunk(border | 0xF8, c.port));
                std::uint8_t read_border = 99;
                EXPECT_EQ(read(make_szx(c.machine, chunks), read_border),
                          testing::bank_screen(banks[c.shown_bank]))
                    << int{c.machine} << " " << int{c.port} << " " << compressed;
                EXPECT_EQ(read_border, border);
                border = static_cast<std::uint8_t>((border + 1) % 8);
            }
        }
    }
}

TEST(ReadSzxScreen, SkipsOtherChunksAndTakesTheFirstPageOfANumber) {
    auto banks = testing::make_banks(testing::make_random_screen(5));
    // A RAMP chunk shorter than its header is damaged, whatever page comes after it.
    auto file = make_szx(1, {spcr_chunk(3, 0), testing::szx_chunk("RAMP", Bytes{0, 0}),
                             ramp_chunk(5, banks[5], true)});
    expect_refused(file, "short RAMP");

    file = make_szx(1, {testing::szx_chunk("XXXX", Bytes(70000, 0x41)), spcr_chunk(3, 0),
                        testing::szx_chunk("KEYB", Bytes(5, 0)), ramp_chunk(5, banks[5], true),
                        ramp_chunk(5, banks[0], true)});
    std::uint8_t border = 0;
    EXPECT_EQ(read(file, border), testing::bank_screen(banks[5]));
    EXPECT_EQ(border, 3);
}

// Pages that are whole, one byte short and one byte long, stored plain or compressed.
TEST(ReadSzxScreen, WantsExactlyOnePageOfSixteenKilobytes) {
    auto card = testing::make_test_card();
    Bytes page(16384, 0x5A);
    std::copy(card.begin(), card.end(), page.begin());
    auto with_page = [](const Bytes& ramp) { return make_szx(2, {spcr_chunk(1, 0), ramp}); };
    std::uint8_t border = 0;
    EXPECT_EQ(read(with_page(ramp_chunk(5, page, false)), border), card);
    EXPECT_EQ(read(with_page(ramp_chunk(5, page, true)), border), card);

    Bytes short_page(page.begin(), page.end() - 1);
    expect_refused(with_page(ramp_chunk(5, short_page, false)), "plain page one byte short");
    expect_refused(with_page(ramp_chunk(5, short_page, true)), "compressed page one byte short");
    Bytes long_page = page;
    long_page.push_back(0);
    expect_refused(with_page(ramp_chunk(5, long_page, true)), "compressed page one byte long");
    // Empty stored blocks (5 bytes each) before the page's own blocks make a stream of 64 KB at
    // most, which is read, then one block more, which is not.
    auto stream = testing::zlib_compress(page);
    Bytes padded{stream[0], stream[1]};
    std::size_t blocks = (65536 - stream.size()) / 5;
    for (std::size_t block = 0; block <= blocks; ++block)
        padded.insert(padded.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF});
    padded.insert(padded.end(), stream.begin() + 2, stream.end());
    expect_refused(with_page(testing::ramp_chunk_raw(5, padded)), "stream past 64 KB");
    padded.erase(padded.begin() + 2, padded.begin() + 2 + 5);
    ASSERT_LE(padded.size(), 65536u);
    EXPECT_EQ(read(with_page(testing::ramp_chunk_raw(5, padded)), border), card);
    // A stream that inflates far past a page, 1 MB of zeros, stops at the page.
    expect_refused(with_page(ramp_chunk(5, Bytes(1 << 20, 0), true)), "inflates to 1 MB");
    // Plain pages longer than 16384 bytes have their page at the start.
    EXPECT_EQ(read(with_page(ramp_chunk(5, long_page, false)), border), card);
}

TEST(ReadSzxScreen, RefusesDamagedAndIncompleteFiles) {
    auto banks = testing::make_banks(testing::make_test_card());
    auto page_5 = ramp_chunk(5, banks[5], true);
    auto stream = testing::zlib_compress(banks[5]);
    Bytes bad_stream = stream;
    bad_stream[40] ^= 0xFF;
    Bytes wrong_header = stream;
    wrong_header[0] = 0x79;  // Not a zlib header.
    Bytes cut_stream(stream.begin(), stream.end() - 5);

    struct Damage {
        const char* what;
        Bytes file;
    };
    std::vector<Damage> damages{
        {"no magic", Bytes{'Z', 'X', 'S', 'U', 1, 4, 2, 0}},
        {"header only", make_szx(2, {})},
        {"no registers", make_szx(2, {page_5})},
        {"short registers", make_szx(2, {testing::szx_chunk("SPCR", Bytes{1}), page_5})},
        {"no page 5", make_szx(2, {spcr_chunk(1, 0), ramp_chunk(7, banks[7], true)})},
        {"no page 7 on display", make_szx(2, {spcr_chunk(1, 0x08), page_5})},
        {"bit-flipped stream",
         make_szx(2, {spcr_chunk(1, 0), testing::ramp_chunk_raw(5, bad_stream)})},
        {"not zlib", make_szx(2, {spcr_chunk(1, 0), testing::ramp_chunk_raw(5, wrong_header)})},
        {"stream cut by its chunk",
         make_szx(2, {spcr_chunk(1, 0), testing::ramp_chunk_raw(5, cut_stream)})},
        {"empty stream", make_szx(2, {spcr_chunk(1, 0), testing::ramp_chunk_raw(5, {})})},
    };
    // A chunk whose length runs past the end of the file, by one byte and by 4 GB.
    auto past_end = make_szx(2, {spcr_chunk(1, 0), page_5});
    past_end.pop_back();
    damages.push_back({"chunk one byte past the end", past_end});
    auto huge = make_szx(2, {testing::szx_chunk("XXXX", {}), spcr_chunk(1, 0), page_5});
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    damages.push_back({"chunk of 4 GB", huge});
    // A chain of empty chunks longer than any snapshot, before the page: 1025 chunks in all.
    std::vector<Bytes> empties(1023, testing::szx_chunk("ZZZZ", {}));
    empties.push_back(spcr_chunk(1, 0));
    empties.push_back(page_5);
    damages.push_back({"1025 chunks", make_szx(2, empties)});
    for (const auto& damage : damages)
        expect_refused(damage.file, damage.what);

    empties.erase(empties.begin());  // 1024 chunks are still read.
    std::uint8_t border = 0;
    EXPECT_EQ(read(make_szx(2, empties), border), testing::bank_screen(banks[5]));
}

TEST(ReadSzxScreen, RefusesEveryTruncation) {
    auto banks = testing::make_banks(testing::make_random_screen(9));
    for (bool compressed : {true, false}) {
        auto file = make_szx(2, {spcr_chunk(2, 0x18), ramp_chunk(5, banks[5], compressed),
                                 ramp_chunk(7, banks[7], compressed)});
        // Every length that cuts the registers or page 7; page 7 ends the file.
        std::size_t step = compressed ? 1 : 97;
        for (std::size_t length = 0; length < file.size(); length += step)
            expect_refused(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)),
                           "length " + std::to_string(length));
        std::uint8_t border = 0;
        EXPECT_EQ(read(file, border), testing::bank_screen(banks[7]));
    }
}

}  // namespace
}  // namespace mirva::containers
