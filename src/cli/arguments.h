#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mirva::cli {

/// The classification of one command-line argument: an option or a file of a known kind.
using FileKind = int;

inline constexpr FileKind KIND_NONE = 0x00;
inline constexpr FileKind OPT_BW = 0x01;
inline constexpr FileKind OPT_INVERSE = 0x02;
inline constexpr FileKind KIND_SCR = 0x20;
inline constexpr FileKind KIND_TAP = 0x21;
inline constexpr FileKind KIND_SP = 0x40;
inline constexpr FileKind KIND_SNA = 0x41;
inline constexpr FileKind KIND_SIT = 0x42;
inline constexpr FileKind KIND_Z80 = 0x43;
inline constexpr FileKind KIND_SLT = 0x44;
inline constexpr FileKind KIND_GIF = 0x80;
inline constexpr FileKind KIND_PCX = 0x81;

inline constexpr FileKind KIND_FAMILY_MASK = 0xE0;
inline constexpr FileKind FAMILY_SCREEN = 0x20;    // One bare screen: SCR, TAP.
inline constexpr FileKind FAMILY_SNAPSHOT = 0x40;  // Emulator snapshots, read only.
inline constexpr FileKind FAMILY_PICTURE = 0x80;   // PC pictures: GIF, PCX.

/// The longest argument accepted, in bytes.
inline constexpr std::size_t MAX_ARGUMENT_LENGTH = 254;

/// Returns the family of a kind (0 for KIND_NONE and the options).
constexpr FileKind family_of(FileKind kind) {
    return kind & KIND_FAMILY_MASK;
}

/// Upper-cases the ASCII letters a..z in place; every other byte is kept. Returns the text.
std::string& upcase_ascii(std::string& text);

/// Takes one argument and returns its kind, judged by the text alone; fails with "Parametros
/// demasiado largos" when it is longer than MAX_ARGUMENT_LENGTH bytes.
FileKind classify_argument(std::string_view argument);

}  // namespace mirva::cli
