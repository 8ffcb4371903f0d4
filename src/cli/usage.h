#pragma once

#include <string_view>

namespace mirva::cli {

/// The version text shown in the usage banner.
inline constexpr std::string_view PROGRAM_VERSION = "2.2a LiNUX i386 SVGAlib";

inline constexpr std::string_view USAGE_BANNER =
    "Visor de pantallas de Spectrum MIRVA v%s\n"
    "Por Ulvaren\n"
    "\n"
    "SINTAXIS: mirva <parametros> <origen> <destino>\n"
    "\n"
    "Parametros validos:\n"
    "\t\t   -b  -> Ver la pantalla en blanco y negro\n"
    "\t\t   -i  -> Ver la pantalla en modo inverso";

/// Throws the usage banner with the version text.
[[noreturn]] void usage();

}  // namespace mirva::cli
