#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/byte_source.h"

namespace mirva::testing {

/// A source over memory that counts the calls made to it, each of which costs a system call
/// when the source is a file.
class CountingSource final : public base::ByteSource {
public:
    explicit CountingSource(std::span<const std::uint8_t> bytes) : memory_(bytes) {}
    std::size_t read(std::span<std::uint8_t> out) override {
        ++reads;
        return memory_.read(out);
    }
    bool seek(std::uint64_t offset) override {
        ++moves;
        return memory_.seek(offset);
    }
    bool skip(std::uint64_t count) override {
        ++moves;
        return memory_.skip(count);
    }
    std::optional<std::uint64_t> size() override { return memory_.size(); }

    std::size_t calls() const { return reads + moves; }

    std::size_t reads = 0;
    std::size_t moves = 0;  // Seeks and skips.

private:
    base::MemorySource memory_;
};

}  // namespace mirva::testing
