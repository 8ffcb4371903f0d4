#pragma once

#include <string>
#include <vector>

namespace mirva::testing {

/// What one call of the driver gave, as the program would have reported it.
struct DriverResult {
    int exit_status = 0;
    std::string standard_error;  // The message line, line feed included, after a failure.
};

/// Calls cli::run with the arguments as main does, catching a Failure (and running out of
/// memory) into status 1 and its message line; a display, if one is asked for, cannot be
/// opened.
DriverResult run_driver(const std::vector<std::string>& arguments);

}  // namespace mirva::testing
