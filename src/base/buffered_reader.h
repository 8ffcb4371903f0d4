#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_source.h"

namespace mirva::base {

/// Reads a source of known size forward from its start through one buffer, so that a walk over
/// many small records costs one read call per buffer, and a skip over a long record costs none.
/// What it holds in memory is the buffer, whatever the size of the source.
class BufferedReader {
public:
    /// Bytes read from the source at a time while reading on from where the buffer ends.
    static constexpr std::size_t BUFFER_BYTES = std::size_t{64} * 1024;
    /// Bytes read after a skip past the buffer, enough for the fields that start a block: a
    /// walk over long blocks reads little of each.
    static constexpr std::size_t SKIP_READ_BYTES = 512;

    /// Takes a source positioned at its start and its size in bytes.
    BufferedReader(ByteSource& source, std::uint64_t size);

    std::uint64_t position() const { return position_; }
    /// The bytes between the position and the end of the source.
    std::uint64_t remaining() const { return size_ - position_; }

    /// Reads exactly out.size() bytes; false when the source ends first.
    bool read(std::span<std::uint8_t> out);
    /// Moves count bytes forward; false, without moving, when that passes the end.
    bool skip(std::uint64_t count);

private:
    bool refill();

    ByteSource& source_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::size_t buffer_length_ = 0;      // The bytes of buffer_ that hold data.
    std::uint64_t buffer_start_ = 0;     // The offset in the source of buffer_[0].
    std::uint64_t source_position_ = 0;  // Where the source itself stands.
};

}  // namespace mirva::base
