#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/byte_source.h"

namespace mirva::base {

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

}  // namespace mirva::base
