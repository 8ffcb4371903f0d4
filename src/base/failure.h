#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace mirva::base {

// Every message the program prints, stored once. A "%s" is replaced by a file name.
inline constexpr std::string_view MSG_READ_SOURCE = "Error leyendo del fichero %s";
inline constexpr std::string_view MSG_OPEN_SOURCE = "Error abriendo el fichero %s";
inline constexpr std::string_view MSG_CREATE_DESTINATION = "Error creando el fichero %s";
inline constexpr std::string_view MSG_READ_DATA = "Error leyendo datos del fichero";
inline constexpr std::string_view MSG_INTERNAL = "Error interno";
inline constexpr std::string_view MSG_ARGUMENT_TOO_LONG = "Parametros demasiado largos";
inline constexpr std::string_view MSG_DESTINATION_EXISTS = "Ya existe el fichero %s";
inline constexpr std::string_view MSG_SAME_FAMILY =
    "No se puede convertir una imagen a otra del mismo tipo";
inline constexpr std::string_view MSG_BAD_DESTINATION = "El formato de destino no puede ser ese";
inline constexpr std::string_view MSG_NO_MEMORY = "No hay memoria suficiente";
inline constexpr std::string_view MSG_NOT_GIF = "El fichero no es de tipo GIF";
inline constexpr std::string_view MSG_NOT_PCX = "El fichero no es de tipo PCX";
inline constexpr std::string_view MSG_TAP_WITHOUT_SCREEN = "EL TAP no tiene ninguna pantalla";
inline constexpr std::string_view MSG_UNSUPPORTED_FEATURE =
    "La imagen tiene caracteristicas no soportadas por el programa";
inline constexpr std::string_view MSG_PICTURE_TOO_LARGE = "La imagen no es 256x192 8bpp o menor";
inline constexpr std::string_view MSG_NO_GRAPHICS = "No se puede iniciar el modo grafico";
inline constexpr std::string_view MSG_TZX_WITHOUT_SCREEN = "El TZX no tiene ninguna pantalla";
inline constexpr std::string_view MSG_PZX_WITHOUT_SCREEN = "El PZX no tiene ninguna pantalla";
inline constexpr std::string_view MSG_ARCHIVE_WITHOUT_SCREEN =
    "El archivo %s no contiene ninguna pantalla ni imagen";
inline constexpr std::string_view MSG_LIBRARY_MISSING = "No se encuentra la biblioteca %s";
inline constexpr std::string_view MSG_NOT_PNG = "El fichero no es de tipo PNG";
inline constexpr std::string_view MSG_NOT_JPEG = "El fichero no es de tipo JPEG";

/// The one exception of the program: it carries the final text of the message, without the
/// closing line feed. Only main catches it (tests and fuzzers too).
class Failure : public std::exception {
public:
    explicit Failure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

/// Takes a format with at most one "%s" and the text for it; throws the finished Failure.
[[noreturn]] void fatal(std::string_view format, std::string_view text);

/// Takes a fixed message, printed literally; throws it as a Failure.
[[noreturn]] void error(std::string_view message);

/// Fails with "Error interno" unless holds: the check of what a caller promises an operation
/// (a range, a size), kept in every build, where an assert would vanish from a release build.
void require(bool holds);

/// Returns the format with its first "%s" replaced by text (a format without one is unchanged).
/// Control characters in text (bytes below 0x20, and 0x7F) become '?', so that a message is
/// always one line and no file name can send an escape sequence to the terminal.
std::string format_message(std::string_view format, std::string_view text);

}  // namespace mirva::base
