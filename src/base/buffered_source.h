#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_source.h"

namespace mirva::base {

/// A source read through a buffer, so that a chain of small reads and skips costs one system
/// call per buffer instead of two per step. It reads and skips exactly as the source under it
/// would: a skip past the end is not an error in itself, the next read comes short.
class BufferedSource final : public ByteSource {
public:
    static constexpr std::size_t DEFAULT_CAPACITY = std::size_t{64} * 1024;

    /// Takes the source, positioned where reading starts; it must outlive this one.
    explicit BufferedSource(ByteSource& source, std::size_t capacity = DEFAULT_CAPACITY);

    std::size_t read(std::span<std::uint8_t> out) override;
    bool seek(std::uint64_t offset) override;
    bool skip(std::uint64_t count) override;
    std::optional<std::uint64_t> size() override { return source_.size(); }

    /// The bytes held from the current position on, filled from the source first when none are
    /// held; empty at the end of the data.
    std::span<const std::uint8_t> peek();
    /// Moves past count of the bytes peek returned.
    void consume(std::size_t count);

private:
    ByteSource& source_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;  // The held bytes are buffer_[start_, end_).
    std::size_t end_ = 0;
};

}  // namespace mirva::base
