#include "cli/help.h"

#include "cli/kinds.h"
#include "cli/options.h"

#ifndef MIRVA_VERSION
#error "MIRVA_VERSION comes from the build"
#endif

namespace mirva::cli {

namespace {

void pad_to(std::string& line, std::size_t column) {
    line.resize(std::max(line.size() + 1, column), ' ');
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

}  // namespace

std::string help_text() {
    std::string text =
        "Uso: mirva [opciones] ORIGEN [DESTINO]\n"
        "Muestra ORIGEN, o lo convierte en DESTINO, que no debe existir. El tipo de cada\n"
        "fichero lo da su extension, en mayusculas o minusculas.\n"
        "Sin DESTINO, ORIGEN se muestra en una ventana o en la pantalla de la consola; donde\n"
        "no se puede, en el terminal (/dev/tty). Con --terminal, siempre en el terminal.\n"
        "\n"
        "Opciones:\n";
    for (const OptionRow& row : option_table()) {
        std::string line = "  ";
        line += row.name;
        if (!row.value_name.empty()) {
            line += '=';
            line += row.value_name;
        }
        pad_to(line, 20);
        text += line;
        text += row.help;
        text += '\n';
    }
    text += "\nTipos (L: se lee, E: se escribe):\n";
    for (const KindRow& row : kind_table()) {
        std::string line = " ";
        for (std::string_view extension : row.extensions) {
            if (!extension.empty()) {
                line += ' ';
                line += lower(extension);
            }
        }
        pad_to(line, 14);
        line += is_source_kind(row.kind) ? "L" : " ";
        line += row.write != nullptr ? "E" : " ";
        pad_to(line, 18);
        text += line;
        text += row.description;
        text += '\n';
    }
    return text;
}

std::string version_text() {
    return std::string("mirva ") + MIRVA_VERSION + "\n";
}

}  // namespace mirva::cli
