#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace mirva::cli {

/// True when something already stands at path: a file, a directory, or a link, even a dangling
/// one. Such a destination is never opened for writing.
bool destination_exists(const std::string& path);

/// Creates the destination exclusively and writes all the bytes, then closes it. Fails with
/// "Ya existe el fichero %s" when the path appeared meanwhile and with "Error creando el
/// fichero %s" when it cannot be created, written whole or closed.
void write_new_file(const std::string& path, std::span<const std::uint8_t> bytes);

/// Sets the effective (and saved) user and group ids to the real ones for good; fails with
/// "Error interno".
void drop_privileges();

/// Throws away input typed ahead on a terminal standard input; does nothing otherwise.
void drain_terminal_input();

}  // namespace mirva::cli
