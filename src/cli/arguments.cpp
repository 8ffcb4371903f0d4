#include "cli/arguments.h"

#include <array>
#include <utility>

#include "cli/failure.h"

namespace mirva::cli {

std::string& upcase_ascii(std::string& text) {
    for (char& byte : text) {
        if (byte >= 'a' && byte <= 'z')
            byte = static_cast<char>(byte - 'a' + 'A');
    }
    return text;
}

FileKind classify_argument(std::string_view argument) {
    // An argument ends at its first NUL, as it does on the command line.
    auto length = argument.find('\0');
    if (length != std::string_view::npos)
        argument = argument.substr(0, length);
    if (argument.size() > MAX_ARGUMENT_LENGTH)
        error(MSG_ARGUMENT_TOO_LONG);

    std::string copy(argument);
    upcase_ascii(copy);
    if (copy == "-B")
        return OPT_BW;
    if (copy == "-I")
        return OPT_INVERSE;

    // The extension starts at the last dot anywhere, a directory name's included; without a
    // dot the whole text is compared, and it cannot match.
    auto dot = copy.rfind('.');
    std::string_view extension(copy);
    if (dot != std::string::npos)
        extension.remove_prefix(dot);

    static constexpr std::array<std::pair<std::string_view, FileKind>, 9> EXTENSIONS{{
        {".GIF", KIND_GIF},
        {".PCX", KIND_PCX},
        {".SCR", KIND_SCR},
        {".SIT", KIND_SIT},
        {".SNA", KIND_SNA},
        {".SLT", KIND_SLT},
        {".SP", KIND_SP},
        {".Z80", KIND_Z80},
        {".TAP", KIND_TAP},
    }};
    for (const auto& [text, kind] : EXTENSIONS) {
        if (extension == text)
            return kind;
    }
    return KIND_NONE;
}

}  // namespace mirva::cli
