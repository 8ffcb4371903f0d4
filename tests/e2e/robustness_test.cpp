// Damaged sources of every kind, end to end: truncated, bit-flipped and random files. Whatever
// the input, the process ends by itself, prints nothing on standard output, and either succeeds
// or prints exactly one of the program's messages; a failed run leaves no destination.
#include <cstdlib>
#include <filesystem>
#include <set>

#include "base/failure.h"
#include "support/e2e.h"
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
                         MSG_NOT_PNG, MSG_NOT_JPEG, MSG_TAP_WITHOUT_SCREEN, MSG_UNSUPPORTED_FEATURE,
                         MSG_PICTURE_TOO_LARGE, MSG_NO_MEMORY}) {
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
    if (kind == "sna")
        return make_sna(card, 2);
    if (kind == "sp")
        return make_snapshot_file(card, 38, 34, 5);
    if (kind == "sit")
        return make_snapshot_file(card, 16412, 27, 5);
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
        const std::string kind = GetParam();
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
    // stride through the middle.
    for (std::size_t length = 0; length <= valid.size(); ++length) {
        bool edge = length < 512 || valid.size() - length < 256;
        if (!edge && length % 61 != 0)
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

INSTANTIATE_TEST_SUITE_P(EveryKind, Robustness,
                         ::testing::Values("scr", "sp", "sna", "sit", "z80", "slt", "tap", "gif",
                                           "pcx", "png", "jpg"));

}  // namespace
}  // namespace mirva::testing
