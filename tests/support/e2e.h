#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/test_card.h"

namespace mirva::testing {

/// Runs the built mirva in directory with the arguments.
inline RunResult run_mirva(const TemporaryDirectory& directory,
                           const std::vector<std::string>& arguments,
                           const RunOptions& options = {}) {
    return run_program(MIRVA_BINARY, arguments, directory.path(), options);
}

/// A failed run: status 1, exactly the message line on standard error, nothing on standard output.
inline void expect_message(const RunResult& result, const std::string& message) {
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.standard_error, message + "\n");
    EXPECT_EQ(result.standard_output, "");
}

/// A successful run: status 0 and nothing printed at all.
inline void expect_success(const RunResult& result) {
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.standard_output, "");
}

/// How many times part stands in text, overlapping times included.
inline std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

inline std::vector<std::uint8_t> bytes_of(const auto& container) {
    return {container.begin(), container.end()};
}

/// A fresh directory with the test card at hand, and shorthands to run mirva in it.
class MirvaTest : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    screen::ScreenImage card = make_test_card();

    void put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        write_file(dir / name, bytes);
    }
    std::vector<std::uint8_t> get(const std::string& name) { return read_file(dir / name); }
    RunResult mirva(const std::vector<std::string>& arguments) { return run_mirva(dir, arguments); }
    /// True when anything stands at the name, a dangling link included.
    bool exists(const std::string& name) {
        struct stat status {};
        return ::lstat((dir / name).c_str(), &status) == 0;
    }
};

}  // namespace mirva::testing
