// Damaged sources of every kind, end to end: a sample of the truncated, bit-flipped and random
// files the driver is given in process (tests/cli/damaged_sources_test.cpp). Whatever the input,
// the process ends by itself, prints nothing on standard output, and either succeeds or prints
// exactly one of the program's messages; a failed run leaves no destination. Hostile files of
// billions of bytes, answered within time limits.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/damaged_files.h"
#include "support/e2e.h"
#include "support/tap_file.h"
#include "support/tape_blocks.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

// One damaged file in this many, of those the driver is given in process, runs through the
// program: what a process adds (no standard output, no signal, no hang, the exit status).
constexpr std::size_t SAMPLE_EVERY = 11;

class Robustness : public ::testing::TestWithParam<std::string> {
protected:
    TemporaryDirectory dir;
    std::size_t seen = 0;
    std::size_t runs = 0;

    // Runs mirva on every SAMPLE_EVERY-th file as a source of the kind and checks the outcome;
    // false on a failure.
    bool check_sample(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        if (seen++ % SAMPLE_EVERY != 0)
            return true;
        const std::string source = "in." + extension_of(GetParam());
        const std::string target = "out.scr";
        // A new file each time: truncating one just written waits for its blocks on ext4.
        fs::remove(dir / source);
        write_file(dir / source, bytes);
        auto result = run_mirva(dir, {source, target}, {.timeout_seconds = 20});
        ++runs;
        EXPECT_EQ(result.signal, 0) << what << " ended by a signal or a hang";
        EXPECT_EQ(result.standard_output, "") << what;
        if (result.exit_status == 0) {
            EXPECT_EQ(result.standard_error, "") << what;
            EXPECT_EQ(read_file(dir / target).size(), 6912u) << what;
        } else {
            EXPECT_EQ(result.exit_status, 1) << what;
            EXPECT_EQ(program_messages(source, target).count(result.standard_error), 1u)
                << what << ": " << result.standard_error;
            EXPECT_FALSE(fs::exists(dir / target)) << what << " left a destination";
        }
        fs::remove(dir / target);
        return !HasFailure();
    }
};

TEST_P(Robustness, DamagedFilesAnswerWithAMessageOrAScreen) {
    auto valid = valid_file(GetParam(), dir);
    ASSERT_FALSE(valid.empty());
    auto check = [this](const auto& bytes, const auto& what) { return check_sample(bytes, what); };
    for_each_truncation(valid, check);
    for_each_damage(valid, std::hash<std::string>{}(GetParam()) & 0xFFFF, check);
    RecordProperty("runs", static_cast<int>(runs));
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

INSTANTIATE_TEST_SUITE_P(EveryKind, Robustness, ::testing::ValuesIn(every_source_kind()));

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
