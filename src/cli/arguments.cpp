#include "cli/arguments.h"

#include <bitset>

#include "base/failure.h"
#include "cli/usage.h"

namespace mirva::cli {

namespace {

// An argument ends at its first NUL, as it does on the command line.
std::string_view up_to_nul(std::string_view argument) {
    auto length = argument.find('\0');
    return length == std::string_view::npos ? argument : argument.substr(0, length);
}

// Sets the option that argument names; false when it names none.
bool take_option(std::string_view argument, Request& request, std::bitset<32>& seen) {
    std::string_view name = argument;
    std::string_view value;
    bool has_value = false;
    if (argument.starts_with("--")) {
        auto equals = argument.find('=');
        if (equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            has_value = true;
        }
    }
    const OptionRow* row = find_option(name);
    if (row == nullptr)
        return false;
    auto index = static_cast<std::size_t>(row - option_table().data());
    // Each option at most once; a value exactly where the option takes one.
    if (seen.test(index) || has_value != !row->value_name.empty())
        usage();
    seen.set(index);
    request.action = row->action;
    if (row->set != nullptr && !row->set(request.options, value))
        usage();
    return true;
}

}  // namespace

std::string& upcase_ascii(std::string& text) {
    for (char& byte : text) {
        if (byte >= 'a' && byte <= 'z')
            byte = static_cast<char>(byte - 'a' + 'A');
    }
    return text;
}

FileKind kind_of_name(std::string_view name) {
    std::string copy(name);
    upcase_ascii(copy);
    // The extension starts at the last dot anywhere, a directory name's included; without a
    // dot the whole text is compared, and it cannot match.
    auto dot = copy.rfind('.');
    std::string_view extension(copy);
    if (dot != std::string::npos)
        extension.remove_prefix(dot);
    return kind_of_extension(extension);
}

FileKind member_kind(std::string_view name) {
    FileKind kind = kind_of_name(name);
    return is_source_kind(kind) && family_of(kind) != FAMILY_ARCHIVE ? kind : KIND_NONE;
}

FileKind classify_argument(std::string_view argument) {
    argument = up_to_nul(argument);
    if (argument.size() > MAX_ARGUMENT_LENGTH)
        base::error(base::MSG_ARGUMENT_TOO_LONG);
    return kind_of_name(argument);
}

Request parse_arguments(std::span<const std::string> arguments) {
    Request request;
    bool has_source = false;
    bool has_destination = false;
    std::bitset<32> seen;
    static_assert(32 >= 6, "one bit per option");
    for (const auto& whole : arguments) {
        std::string_view argument = up_to_nul(whole);
        if (argument.size() > MAX_ARGUMENT_LENGTH)
            base::error(base::MSG_ARGUMENT_TOO_LONG);
        if (argument.starts_with("--")) {
            // Every argument that starts with two dashes is an option, known or not.
            if (!take_option(argument, request, seen))
                usage();
            if (request.action != Action::job)
                return request;
            continue;
        }
        if (take_option(argument, request, seen))
            continue;
        FileKind kind = classify_argument(argument);
        if (kind != KIND_NONE && !has_source && is_source_kind(kind)) {
            request.source = std::string(argument);
            request.source_kind = kind;
            has_source = true;
        } else if (kind != KIND_NONE && has_source && !has_destination) {
            request.destination = std::string(argument);
            request.destination_kind = kind;
            has_destination = true;
        } else {
            usage();  // An argument of no known kind, a kind that is never read, or a third file.
        }
    }
    if (!has_source)
        usage();
    return request;
}

}  // namespace mirva::cli
