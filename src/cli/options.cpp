#include "cli/options.h"

#include <array>

namespace mirva::cli {

namespace {

constexpr bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// A whole number from 1 to MAX_SCALE, written with one digit and nothing else.
bool set_scale(screen::Options& options, std::string_view value) {
    if (value.size() != 1 || value[0] < '1' || value[0] > '0' + screen::MAX_SCALE)
        return false;
    options.scale = value[0] - '0';
    return true;
}

const std::array<OptionRow, 7> OPTIONS{{
    {"-b", "", "blanco y negro: tinta blanca brillante sobre papel negro, o grises", Action::job,
     [](screen::Options& options, std::string_view) {
         options.bw = true;
         return true;
     }},
    {"-i", "", "inverso: tinta y papel cambiados, o cada color invertido", Action::job,
     [](screen::Options& options, std::string_view) {
         options.inverse = true;
         return true;
     }},
    {"--scale", "N", "cada pixel como NxN en la imagen escrita (N de 1 a 8)", Action::job,
     set_scale},
    {"--border", "", "la imagen escrita lleva el borde (320x240 antes de escalar)", Action::job,
     [](screen::Options& options, std::string_view) {
         options.border = true;
         return true;
     }},
    {"--flash", "", "la imagen escrita alterna las fases del parpadeo (GIF y PNG)", Action::job,
     [](screen::Options& options, std::string_view) {
         options.flash = true;
         return true;
     }},
    {"--help", "", "muestra esta ayuda y termina", Action::help, nullptr},
    {"--version", "", "muestra la version y termina", Action::version, nullptr},
}};

}  // namespace

std::span<const OptionRow> option_table() {
    return OPTIONS;
}

const OptionRow* find_option(std::string_view name) {
    for (const OptionRow& row : OPTIONS) {
        bool is_long = row.name.starts_with("--");
        if (is_long ? name == row.name : same_ignoring_case(name, row.name))
            return &row;
    }
    return nullptr;
}

}  // namespace mirva::cli
