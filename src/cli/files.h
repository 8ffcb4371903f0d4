#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace mirva::cli {

/// True when something already stands at path: a file, a directory, or a link, even a dangling
/// one. Such a destination is never opened for writing.
bool destination_exists(const std::string& path);

/// The system calls a new file is written with; tests put failing ones in their place.
struct FileCalls {
    int (*open_unnamed)(const char* folder);  // A new file without a name in folder, or -1.
    ssize_t (*write)(int descriptor, const void* bytes, std::size_t count);
    int (*close)(int descriptor);
};

/// The calls of the running system.
const FileCalls& system_file_calls();

/// Writes all the bytes into a new file in the destination's folder and, once it is written
/// and closed, gives it the destination's name, never replacing anything that stands there.
/// Fails with "Ya existe el fichero %s" when the path appeared meanwhile and with "Error
/// creando el fichero %s" when the file cannot be created, written whole or closed; either way
/// nothing is left, neither under the destination's name nor under a temporary one.
void write_new_file(const std::string& path, std::span<const std::uint8_t> bytes,
                    const FileCalls& calls = system_file_calls());

/// Sets the effective (and saved) user and group ids to the real ones for good; fails with
/// "Error interno".
void drop_privileges();

/// Throws away input typed ahead on a terminal standard input; does nothing otherwise.
void drain_terminal_input();

}  // namespace mirva::cli
