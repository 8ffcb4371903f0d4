#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "cli/kinds.h"
#include "cli/options.h"
#include "screen/options.h"

namespace mirva::cli {

/// The longest argument accepted, in bytes.
inline constexpr std::size_t MAX_ARGUMENT_LENGTH = 254;

/// Upper-cases the ASCII letters a..z in place; every other byte is kept. Returns the text.
std::string& upcase_ascii(std::string& text);

/// Returns the kind of a file name judged by its extension alone, in any letter case, as
/// classify_argument judges it but with no length limit (member names of archives are not
/// arguments).
FileKind kind_of_name(std::string_view name);

/// Returns the kind of an archive member's name when the member can be read, a Spectrum kind or
/// a picture; KIND_NONE otherwise. An archive inside an archive is not read.
FileKind member_kind(std::string_view name);

/// Takes one argument that is not an option and returns its kind, judged by the extension
/// alone; fails with "Parametros demasiado largos" when it is longer than MAX_ARGUMENT_LENGTH
/// bytes.
FileKind classify_argument(std::string_view argument);

/// What the command line asks for.
struct Request {
    Action action = Action::job;
    std::string source;
    FileKind source_kind = KIND_NONE;
    std::string destination;  // Empty when there is none.
    FileKind destination_kind = KIND_NONE;
    screen::Options options;
};

/// Takes the arguments (without the program name) in order; the first one that is not allowed
/// ends the run with the usage banner or "Parametros demasiado largos". --help and --version
/// end the parse where they stand.
Request parse_arguments(std::span<const std::string> arguments);

}  // namespace mirva::cli
