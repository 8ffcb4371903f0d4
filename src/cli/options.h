#pragma once

#include <span>
#include <string_view>

#include "screen/options.h"

namespace mirva::cli {

/// What a run does: the job of its files, or one of the two texts it prints and stops.
enum class Action : std::uint8_t { job, help, version };

/// One option of the command line. Short options ("-b") are matched in any letter case; long
/// ones ("--name", "--name=value") as written.
struct OptionRow {
    std::string_view name;
    std::string_view value_name;  // Empty for an option without a value.
    std::string_view help;        // One line of --help, in Spanish.
    Action action = Action::job;
    /// Sets the option in options from its value (empty for an option without one); false when
    /// the value is not one the option takes. Null for --help and --version.
    bool (*set)(screen::Options& options, std::string_view value) = nullptr;
};

/// Every option, in the order --help lists them.
std::span<const OptionRow> option_table();

/// Returns the row of the option named name (without its value), or null.
const OptionRow* find_option(std::string_view name);

}  // namespace mirva::cli
