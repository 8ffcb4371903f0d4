#include "base/failure.h"

namespace mirva::base {

std::string format_message(std::string_view format, std::string_view text) {
    std::string result;
    auto marker = format.find("%s");
    if (marker == std::string_view::npos) {
        result = format;
        return result;
    }
    result.reserve(format.size() + text.size());
    result.append(format.substr(0, marker));
    for (char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        result.push_back(value < 0x20 || value == 0x7F ? '?' : byte);
    }
    result.append(format.substr(marker + 2));
    return result;
}

void fatal(std::string_view format, std::string_view text) {
    throw Failure(format_message(format, text));
}

void error(std::string_view message) {
    throw Failure(std::string(message));
}

void require(bool holds) {
    if (!holds)
        error(MSG_INTERNAL);
}

}  // namespace mirva::base
