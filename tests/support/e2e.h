#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"

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

inline std::vector<std::uint8_t> bytes_of(const auto& container) {
    return {container.begin(), container.end()};
}

}  // namespace mirva::testing
