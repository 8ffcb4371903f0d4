#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "cli/byte_source.h"

namespace mirva::cli {

/// A source file opened for reading. Anything but a regular file or a block device (a directory,
/// a FIFO, a terminal) opens, but reads nothing and has no size, so its reader reports a read
/// failure instead of waiting for data that may never come.
class FileSource final : public ByteSource {
public:
    FileSource(int descriptor, bool readable);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::size_t read(std::span<std::uint8_t> out) override;
    bool seek(std::uint64_t offset) override;
    bool skip(std::uint64_t count) override;
    std::optional<std::uint64_t> size() override;

private:
    int descriptor_;
    bool readable_;
};

/// Opens the source path for reading; fails with "Error abriendo el fichero %s".
std::unique_ptr<FileSource> open_source(const std::string& path);

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
