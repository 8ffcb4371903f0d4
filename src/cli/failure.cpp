#include "cli/failure.h"

namespace mirva::cli {

std::string format_message(std::string_view format, std::string_view text) {
    std::string result;
    auto marker = format.find("%s");
    if (marker == std::string_view::npos) {
        result = format;
        return result;
    }
    result.reserve(format.size() + text.size());
    result.append(format.substr(0, marker));
    result.append(text);
    result.append(format.substr(marker + 2));
    return result;
}

void fatal(std::string_view format, std::string_view text) {
    throw Failure(format_message(format, text));
}

void error(std::string_view message) {
    throw Failure(std::string(message));
}

void usage() {
    fatal(USAGE_BANNER, PROGRAM_VERSION);
}

}  // namespace mirva::cli
