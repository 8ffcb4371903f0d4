// Damaged sources of every kind, end to end: truncated, bit-flipped and random files. Whatever
// the input, the process ends by itself, prints nothing on standard output, and either succeeds
// or prints exactly one of the program's messages; a failed run leaves no destination.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/failure.h"
#include "support/archive_files.h"
#include "support/e2e.h"
#include "support/tap_file.h"
#include "support/tape_blocks.h"
#include "support/snapshot_128k.h"
#include "support/szx_file.h"
#include "support/test_card.h"

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

// A valid file of the kind, made in code or by mirva itself from the test card.
std::vector<std::uint8_t> valid_file(const std::string& kind, const TemporaryDirectory& dir) {
    auto card = make_test_card();
    std::vector<std::uint8_t> bytes;
    if (kind == "scr")
        return bytes_of(card);
    if (kind == "zip")
        return python_zip({{"card.scr", bytes_of(card)}}, true);
    if (kind == "scr.gz")
        return python_gzip(bytes_of(card));
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
        // Version 1, compressed: every byte plain except runs written as ED ED n v.
        bytes.assign(30, 0);
        bytes[12] = 0x20 | (3 << 1);
        auto sna = make_sna(card, 0);
        std::vector<std::uint8_t> memory(sna.begin() + 27, sna.end());
        for (std::size_t i = 0; i < memory.size();) {
            std::size_t run = 1;
            while (i + run < memory.size() && memory[i + run] == memory[i] && run < 255)
                ++run;
            if (run >= 5 || memory[i] == 0xED) {
                std::uint8_t length = static_cast<std::uint8_t>(run >= 2 ? run : 1);
                bytes.insert(bytes.end(), {0xED, 0xED, length, memory[i]});
                i += length;
            } else {
                bytes.push_back(memory[i]);
                ++i;
            }
        }
        bytes.insert(bytes.end(), {0x00, 0xED, 0xED, 0x00});
        return bytes;
    }
    if (kind == "png" || kind == "jpg") {
        // ImageMagick's file of the test card, from mirva's GIF of it.
        write_file(dir / "card.scr", bytes_of(card));
        fs::remove(dir / "card.gif");
        EXPECT_EQ(run_mirva(dir, {"card.scr", "card.gif"}).exit_status, 0);
        auto result = run_program("/usr/bin/convert",
                                  {"card.gif", "-quality", "90", "card." + kind}, dir.path());
        EXPECT_EQ(result.exit_status, 0) << result.standard_error;
        return read_file(dir / ("card." + kind));
    }
    // TAP, GIF and PCX: what mirva itself writes for the test card.
    write_file(dir / "card.scr", bytes_of(card));
    fs::remove(dir / ("card." + kind));
    auto result = run_mirva(dir, {"card.scr", "card." + kind});
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    return read_file(dir / ("card." + kind));
}

class Robustness : public ::testing::TestWithParam<std::string> {
protected:
    TemporaryDirectory dir;
    std::size_t runs = 0;

    // Runs mirva on the bytes as a source of the kind and checks the outcome.
    void check(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        const std::string kind = GetParam() == "sna128" ? "sna" : GetParam();
        const std::string source = "in." + kind;
        const std::string target = "out.scr";
        write_file(dir / source, bytes);
        auto result = run_mirva(dir, {source, target}, {.timeout_seconds = 20});
        ++runs;
        ASSERT_EQ(result.signal, 0) << what << " ended by a signal or a hang";
        ASSERT_EQ(result.standard_output, "") << what;
        if (result.exit_status == 0) {
            ASSERT_EQ(result.standard_error, "") << what;
            ASSERT_EQ(read_file(dir / target).size(), 6912u) << what;
        } else {
            ASSERT_EQ(result.exit_status, 1) << what;
            ASSERT_EQ(program_messages(source, target).count(result.standard_error), 1u)
                << what << ": " << result.standard_error;
            ASSERT_FALSE(fs::exists(dir / target)) << what << " left a destination";
        }
        fs::remove(dir / target);
    }
};

TEST_P(Robustness, TruncatedFilesAnswerWithAMessageOrAScreen) {
    auto valid = valid_file(GetParam(), dir);
    ASSERT_FALSE(valid.empty());
    // Every length near the start and the end, where the headers and the last block lie, and a
    // stride through the middle (longer through the banks of a 128K snapshot, which no reader
    // parses).
    std::size_t stride = valid.size() > 100000 ? 509 : 61;
    for (std::size_t length = 0; length <= valid.size(); ++length) {
        bool edge = length < 512 || valid.size() - length < 256;
        if (!edge && length % stride != 0)
            continue;
        std::vector<std::uint8_t> cut(valid.begin(),
                                      valid.begin() + static_cast<std::ptrdiff_t>(length));
        check(cut, "length " + std::to_string(length));
        if (HasFatalFailure())
            return;
    }
    RecordProperty("runs", static_cast<int>(runs));
}

TEST_P(Robustness, BitFlippedAndRandomFilesAnswerWithAMessageOrAScreen) {
    auto valid = valid_file(GetParam(), dir);
    ASSERT_FALSE(valid.empty());
    Random random(std::hash<std::string>{}(GetParam()) & 0xFFFF);
    for (int round = 0; round < 150; ++round) {
        auto damaged = valid;
        // Most damage lands in the first bytes, where the structure is.
        int flips = 1 + static_cast<int>(random.below(8));
        for (int flip = 0; flip < flips; ++flip) {
            std::size_t limit =
                random.below(2) ? std::min<std::size_t>(damaged.size(), 128) : damaged.size();
            damaged[random.below(limit)] ^= static_cast<std::uint8_t>(1u << random.below(8));
        }
        check(damaged, "flip round " + std::to_string(round));
        if (HasFatalFailure())
            return;
    }
    for (int round = 0; round < 40; ++round) {
        std::vector<std::uint8_t> noise(random.below(valid.size() + 1));
        for (auto& byte : noise)
            byte = static_cast<std::uint8_t>(random.next());
        check(noise, "random round " + std::to_string(round));
        if (HasFatalFailure())
            return;
    }
}

// Long chains of blocks are answered at the speed of reading, or sooner: the time limits are
// far below what reading block by block takes.
TEST(HostileFiles, LongBlockChainsAreAnsweredQuickly) {
    TemporaryDirectory dir;
    auto card = make_test_card();
    // 64 million empty blocks (128 MiB, sparse), then a header block and the screen.
    constexpr std::uint64_t CHAIN_BYTES = 128ull << 20;
    auto tape = screen_tape(card);
    write_file(dir / "long.tap", {});
    fs::resize_file(dir / "long.tap", CHAIN_BYTES);
    {
        std::ofstream out(dir / "long.tap", std::ios::binary | std::ios::app);
        out.write(reinterpret_cast<const char*>(tape.data()),
                  static_cast<std::streamsize>(tape.size()));
    }
    auto result = run_mirva(dir, {"long.tap", "long.scr"}, {.timeout_seconds = 10});
    expect_success(result);
    EXPECT_EQ(read_file(dir / "long.scr"), bytes_of(card));

    // A version-2 snapshot whose 5 GiB (sparse) are empty blocks of page 0.
    std::vector<std::uint8_t> z80(32 + 23, 0);
    z80[30] = 23;
    write_file(dir / "chain.z80", z80);
    fs::resize_file(dir / "chain.z80", 5ull << 30);
    result = run_mirva(dir, {"chain.z80", "chain.scr"}, {.timeout_seconds = 10});
    expect_message(result, "Error leyendo del fichero chain.z80");
    EXPECT_FALSE(fs::exists(dir / "chain.scr"));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Robustness,
                         ::testing::Values("scr", "sp", "sna", "sna128", "sit", "z80", "slt",
                                           "szx", "tap", "tzx", "pzx", "gif", "pcx", "png",
                                           "jpg", "zip", "scr.gz"));

// Tapes that never end, or claim blocks far longer than they are: each is answered, with one
// message, in bounded time and memory, without reading the whole file.
class EndlessTapes : public ::testing::Test {
protected:
    TemporaryDirectory dir;

    // Writes head, then makes the file `size` bytes long: zeros that take no disk space.
    void put_sparse(const std::string& name, const std::vector<std::uint8_t>& head,
                    std::uint64_t size) {
        write_file(dir / name, head);
        fs::resize_file(dir / name, size);
    }

    void expect_answer(const std::string& name, const std::string& message) {
        auto started = std::chrono::steady_clock::now();
        auto result = run_mirva(dir, {name, "out.gif"}, {.timeout_seconds = 20});
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        RecordProperty(name + "_ms", static_cast<int>(seconds * 1000));
        EXPECT_EQ(result.signal, 0) << name;
        EXPECT_EQ(result.exit_status, 1) << name;
        EXPECT_EQ(result.standard_error, message + "\n") << name;
        EXPECT_LT(seconds, 5.0) << name;
        EXPECT_FALSE(fs::exists(dir / "out.gif")) << name;
    }
};

TEST_F(EndlessTapes, AnswerWithinTheBlockLimit) {
    constexpr std::uint64_t FIVE_GB = 5'000'000'000;
    const std::string damaged = "Error leyendo del fichero ";
    // Five gigabytes of empty blocks after the header: unknown ID 0, length 0 in a TZX; tag and
    // length 0 in a PZX.
    put_sparse("zeros.tzx", tzx_header(), FIVE_GB);
    expect_answer("zeros.tzx", damaged + "zeros.tzx");
    put_sparse("zeros.pzx", pzx_header(), FIVE_GB);
    expect_answer("zeros.pzx", damaged + "zeros.pzx");
    // Two million group ends, and two million empty pauses, written out.
    write_file(dir / "groups.tzx", tzx_header() + Bytes(2'000'000, 0x22));
    expect_answer("groups.tzx", damaged + "groups.tzx");
    Bytes pauses = pzx_header();
    for (int block = 0; block < 2'000'000; ++block)
        pauses.insert(pauses.end(), {'P', 'A', 'U', 'S', 0, 0, 0, 0});
    write_file(dir / "pauses.pzx", pauses);
    expect_answer("pauses.pzx", damaged + "pauses.pzx");
    // Blocks of 4 GiB - 1 claimed: past the end of a small file, and skipped in a big one.
    write_file(dir / "claim.tzx", tzx_header() + Bytes{0x19, 0xFF, 0xFF, 0xFF, 0xFF, 0});
    expect_answer("claim.tzx", damaged + "claim.tzx");
    write_file(dir / "claim.pzx", pzx_header() + Bytes{'D', 'A', 'T', 'A', 0xFF, 0xFF, 0xFF, 0xFF});
    expect_answer("claim.pzx", damaged + "claim.pzx");
    put_sparse("long.tzx", tzx_header() + Bytes{0x19, 0xFF, 0xFF, 0xFF, 0xFF}, FIVE_GB);
    expect_answer("long.tzx", damaged + "long.tzx");
    put_sparse("long.pzx", pzx_header() + Bytes{'P', 'U', 'L', 'S', 0xFF, 0xFF, 0xFF, 0xFF},
               FIVE_GB);
    expect_answer("long.pzx", damaged + "long.pzx");
}

}  // namespace
}  // namespace mirva::testing
