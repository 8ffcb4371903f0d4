#include "cli/options.h"

#include <array>
#include <utility>

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

bool set_dither(screen::Options& options, std::string_view value) {
    constexpr std::array<std::pair<std::string_view, screen::Dither>, 4> modes{{
        {"none", screen::Dither::none},
        {"floyd", screen::Dither::floyd},
        {"atkinson", screen::Dither::atkinson},
        {"ordered", screen::Dither::ordered},
    }};
    for (const auto& [name, mode] : modes) {
        if (value == name) {
            options.dither = mode;
            return true;
        }
    }
    return false;
}

// An option without a value that sets one field of the options.
template <auto Field, auto Value = true>
bool set_field(screen::Options& options, std::string_view /*value*/) {
    options.*Field = Value;
    return true;
}

const std::array<OptionRow, 10> OPTIONS{{
    {"-b", "", "blanco y negro: tinta blanca brillante sobre papel negro, o grises", Action::job,
     set_field<&screen::Options::bw>},
    {"-i", "", "inverso: tinta y papel cambiados, o cada color invertido", Action::job,
     set_field<&screen::Options::inverse>},
    {"--scale", "N", "cada pixel como NxN en la imagen escrita (N de 1 a 8)", Action::job,
     set_scale},
    {"--border", "", "la imagen escrita lleva el borde (320x240 antes de escalar)", Action::job,
     set_field<&screen::Options::border>},
    {"--flash", "", "la imagen escrita alterna las fases del parpadeo (GIF y PNG)", Action::job,
     set_field<&screen::Options::flash>},
    {"--resize", "", "reduce a 256x192 las imagenes GIF y PCX mayores", Action::job,
     set_field<&screen::Options::resize>},
    {"--dither", "MODO", "tramado al hacer una pantalla: none, floyd, atkinson u ordered",
     Action::job, set_dither},
    {"--terminal", "", "muestra ORIGEN en el terminal aunque se pueda abrir una ventana",
     Action::job, set_field<&screen::Options::viewer, screen::Viewer::terminal>},
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
