#pragma once

#include <string>

namespace mirva::cli {

/// The text --help prints: the syntax, every option and every kind, one line each.
std::string help_text();

/// The text --version prints: "mirva VERSION" and a line feed.
std::string version_text();

}  // namespace mirva::cli
