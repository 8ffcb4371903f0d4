#include "support/damaged_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/failure.h"
#include "support/archive_files.h"
#include "support/driver_run.h"
#include "support/snapshot_128k.h"
#include "support/szx_file.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"
#include "support/z80_snapshot.h"

namespace mirva::testing {

namespace {

namespace fs = std::filesystem;

// A small deterministic generator, so every failure can be replayed from its seed.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::size_t below(std::size_t limit) { return static_cast<std::size_t>(next() % limit); }

private:
    std::uint64_t state_;
};

// What a damaged file is: the words and the number, as "length 12".
std::string named(const char* what, std::size_t number) {
    return std::string(what).append(" ").append(std::to_string(number));
}

std::vector<std::uint8_t> card_bytes() {
    auto card = make_test_card();
    return {card.begin(), card.end()};
}

}  // namespace

const std::vector<std::string>& every_source_kind() {
    static const std::vector<std::string> kinds{"scr", "sp",  "sna", "sna128", "sit",   "z80",
                                                "slt", "szx", "tap", "tzx",    "pzx",   "gif",
                                                "pcx", "png", "jpg", "zip",    "scr.gz"};
    return kinds;
}

std::string extension_of(const std::string& kind) {
    return kind == "sna128" ? "sna" : kind;
}

std::vector<std::uint8_t> valid_file(const std::string& kind, const TemporaryDirectory& dir) {
    auto card = make_test_card();
    if (kind == "scr")
        return card_bytes();
    if (kind == "zip")
        return python_zip({{"card.scr", card_bytes()}}, true);
    if (kind == "scr.gz")
        return python_gzip(card_bytes());
    if (kind == "sna")
        return make_sna(card, 2);
    if (kind == "sna128")  // Bank 7 shown and paged at 0xC000.
        return make_sna_128(make_banks(card), 2, 0x1F);
    if (kind == "szx") {
        // A 128K machine showing bank 7, its pages compressed.
        auto banks = make_banks(card);
        std::vector<std::vector<std::uint8_t>> chunks{spcr_chunk(3, 0x18)};
        for (std::uint8_t page : {5, 2, 0, 7})
            chunks.push_back(ramp_chunk(page, banks[page], true));
        return make_szx(2, chunks);
    }
    if (kind == "sp")
        return make_snapshot_file(card, 38, 34, 5);
    if (kind == "sit")
        return make_snapshot_file(card, 16412, 27, 5);
    if (kind == "tzx") {
        // Blocks of several types before the screen, and a loading screen after it.
        return tzx_header() + Bytes{0x21, 4, 'g', 'a', 'm', 'e', 0x20, 0xE8, 0x03} +
               tzx_turbo_block(Bytes(19, 0)) + tzx_pure_data_block(screen_data(card)) +
               Bytes{0x22, 0x2A, 0, 0, 0, 0} + tzx_screen_info_block(card, 2);
    }
    if (kind == "pzx") {
        return pzx_header() + pzx_block("PULS", {0xFF, 0x80, 0x78, 0x08}) +
               pzx_data_block(Bytes(19, 0)) + pzx_data_block(screen_data(card)) +
               pzx_block("PAUS", {0x60, 0x67, 0x35, 0});
    }
    if (kind == "z80" || kind == "slt") {
        // Version 1, compressed, border 3: the 48K memory of the card's SNA.
        auto sna = make_sna(card, 0);
        std::vector<std::uint8_t> memory(sna.begin() + 27, sna.end());
        return make_z80_v1(memory, 0x20 | (3 << 1));
    }
    // TAP, GIF and PCX: what the driver itself writes for the test card; PNG and JPEG:
    // ImageMagick's file of its GIF.
    const std::string written = kind == "png" || kind == "jpg" ? "gif" : kind;
    write_file(dir / "card.scr", card_bytes());
    fs::remove(dir / ("card." + written));
    auto made = run_driver({(dir / "card.scr").string(), (dir / ("card." + written)).string()});
    EXPECT_EQ(made.exit_status, 0) << made.standard_error;
    if (written != kind) {
        auto result = run_program("/usr/bin/convert",
                                  {"card.gif", "-quality", "90", "card." + kind}, dir.path());
        EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    }
    return read_file(dir / ("card." + kind));
}

std::set<std::string> program_messages(const std::string& source, const std::string& target) {
    using namespace base;
    std::set<std::string> messages;
    for (auto message : {MSG_READ_SOURCE, MSG_OPEN_SOURCE, MSG_READ_DATA, MSG_NOT_GIF, MSG_NOT_PCX,
                         MSG_NOT_PNG, MSG_NOT_JPEG, MSG_TAP_WITHOUT_SCREEN, MSG_TZX_WITHOUT_SCREEN,
                         MSG_PZX_WITHOUT_SCREEN, MSG_UNSUPPORTED_FEATURE, MSG_PICTURE_TOO_LARGE,
                         MSG_NO_MEMORY, MSG_ARCHIVE_WITHOUT_SCREEN}) {
        messages.insert(format_message(message, source) + "\n");
    }
    messages.insert(format_message(MSG_CREATE_DESTINATION, target) + "\n");
    return messages;
}

void for_each_truncation(const std::vector<std::uint8_t>& valid, const DamagedVisitor& visit) {
    const std::size_t stride = valid.size() > 100000 ? 509 : 61;
    for (std::size_t length = 0; length <= valid.size(); ++length) {
        const bool edge = length < 512 || valid.size() - length < 256;
        if (!edge && length % stride != 0)
            continue;
        std::vector<std::uint8_t> cut(valid.begin(),
                                      valid.begin() + static_cast<std::ptrdiff_t>(length));
        if (!visit(cut, named("length", length)))
            return;
    }
}

void for_each_damage(const std::vector<std::uint8_t>& valid, std::uint64_t seed,
                     const DamagedVisitor& visit) {
    Random random(seed);
    for (int round = 0; round < 150; ++round) {
        auto damaged = valid;
        const int flips = 1 + static_cast<int>(random.below(8));
        for (int flip = 0; flip < flips; ++flip) {
            const std::size_t limit =
                random.below(2) ? std::min<std::size_t>(damaged.size(), 128) : damaged.size();
            damaged[random.below(limit)] ^= static_cast<std::uint8_t>(1u << random.below(8));
        }
        if (!visit(damaged, named("flip round", static_cast<std::size_t>(round))))
            return;
    }
    for (int round = 0; round < 40; ++round) {
        std::vector<std::uint8_t> noise(random.below(valid.size() + 1));
        for (auto& byte : noise)
            byte = static_cast<std::uint8_t>(random.next());
        if (!visit(noise, named("random round", static_cast<std::size_t>(round))))
            return;
    }
}

}  // namespace mirva::testing
