// Damaged sources of every kind, converted in process by the driver: truncated, bit-flipped and
// random files. Whatever the input, the driver returns, and either succeeds with a whole screen
// or fails with exactly one of the program's messages, leaving no destination.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/damaged_files.h"
#include "support/driver_run.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

class DamagedSources : public ::testing::TestWithParam<std::string> {
protected:
    TemporaryDirectory dir;
    std::vector<std::uint8_t> valid = valid_file(GetParam(), dir);
    const std::string source = (dir / ("in." + extension_of(GetParam()))).string();
    const std::string target = (dir / "out.scr").string();
    const std::set<std::string> messages = program_messages(source, target);

    // Converts the bytes as a source of the kind and checks the outcome; false on a failure.
    bool check(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        // A new file each time: truncating one just written waits for its blocks on ext4.
        fs::remove(source);
        write_file(source, bytes);
        DriverResult result = run_driver({source, target});
        if (result.exit_status == 0) {
            EXPECT_EQ(result.standard_error, "") << what;
            EXPECT_EQ(read_file(target).size(), 6912u) << what;
        } else {
            EXPECT_EQ(result.exit_status, 1) << what;
            EXPECT_EQ(messages.count(result.standard_error), 1u)
                << what << ": " << result.standard_error;
            EXPECT_FALSE(fs::exists(target)) << what << " left a destination";
        }
        fs::remove(target);
        return !HasFailure();
    }
};

TEST_P(DamagedSources, TruncatedFilesAnswerWithAMessageOrAScreen) {
    ASSERT_FALSE(valid.empty());
    for_each_truncation(valid,
                        [this](const auto& bytes, const auto& what) { return check(bytes, what); });
}

TEST_P(DamagedSources, BitFlippedAndRandomFilesAnswerWithAMessageOrAScreen) {
    ASSERT_FALSE(valid.empty());
    for_each_damage(valid, std::hash<std::string>{}(GetParam()) & 0xFFFF,
                    [this](const auto& bytes, const auto& what) { return check(bytes, what); });
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DamagedSources, ::testing::ValuesIn(every_source_kind()));

}  // namespace
}  // namespace mirva::testing
