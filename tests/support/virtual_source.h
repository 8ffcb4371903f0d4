#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "base/byte_source.h"

namespace mirva::testing {

/// A source of any size that holds zeros except where bytes are put, as a sparse file does, and
/// counts the read calls made and the bytes they returned.
class VirtualSource final : public base::ByteSource {
public:
    explicit VirtualSource(std::uint64_t size) : size_(size) {}

    void put(std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes_[offset + i] = bytes[i];
    }

    std::size_t read(std::span<std::uint8_t> out) override {
        ++read_calls;
        std::size_t count =
            position_ >= size_ ? 0 : std::min<std::uint64_t>(out.size(), size_ - position_);
        std::fill_n(out.begin(), count, 0);
        for (auto it = bytes_.lower_bound(position_);
             it != bytes_.end() && it->first < position_ + count; ++it)
            out[it->first - position_] = it->second;
        position_ += count;
        bytes_read += count;
        return count;
    }
    bool seek(std::uint64_t offset) override {
        position_ = offset;
        return true;
    }
    bool skip(std::uint64_t count) override {
        position_ += count;
        return true;
    }
    std::optional<std::uint64_t> size() override { return size_; }

    std::uint64_t read_calls = 0;
    std::uint64_t bytes_read = 0;

private:
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    std::map<std::uint64_t, std::uint8_t> bytes_;
};

}  // namespace mirva::testing
