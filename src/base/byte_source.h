#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mirva::base {

/// What a reader reads from: an open file in the program, memory in tests and fuzzers. It keeps
/// a file's semantics: a seek past the end is not an error in itself, the next read comes short.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Fills as much of out as the source still holds; returns how many bytes were read.
    virtual std::size_t read(std::span<std::uint8_t> out) = 0;
    /// Moves to an absolute offset; false when the source cannot be positioned.
    virtual bool seek(std::uint64_t offset) = 0;
    /// Moves count bytes forward from the current position; false when that fails.
    virtual bool skip(std::uint64_t count) = 0;
    /// The whole size in bytes, or nothing when it cannot be known.
    virtual std::optional<std::uint64_t> size() = 0;

    /// Reads exactly out.size() bytes; false when fewer arrive (end of data or a read error).
    bool read_all(std::span<std::uint8_t> out) { return read(out) == out.size(); }
};

/// Reads exactly out.size() bytes; fails with the message when fewer arrive. A message with a
/// "%s" takes path.
void read_exact(ByteSource& source, std::span<std::uint8_t> out, std::string_view message,
                std::string_view path = {});

/// The 16-bit little-endian number at offset of bytes; offset + 2 must lie within them.
constexpr std::uint16_t little_endian_16(std::span<const std::uint8_t> bytes,
                                         std::size_t offset = 0) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

/// The 32-bit little-endian number at offset of bytes; offset + 4 must lie within them.
constexpr std::uint32_t little_endian_32(std::span<const std::uint8_t> bytes,
                                         std::size_t offset = 0) {
    return little_endian_16(bytes, offset) |
           (static_cast<std::uint32_t>(little_endian_16(bytes, offset + 2)) << 16);
}

/// A source over bytes held in memory; the bytes must outlive it.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t read(std::span<std::uint8_t> out) override;
    bool seek(std::uint64_t offset) override;
    bool skip(std::uint64_t count) override;
    std::optional<std::uint64_t> size() override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_ = 0;  // May lie past the end, as a file position may.
};

}  // namespace mirva::base
