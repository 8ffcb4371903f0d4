#include "base/buffered_source.h"

#include <algorithm>
#include <cassert>

namespace mirva::base {

BufferedSource::BufferedSource(ByteSource& source, std::size_t capacity)
    : source_(source), buffer_(capacity) {
    assert(capacity > 0);
}

std::size_t BufferedSource::read(std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        auto held = peek();
        if (held.empty())
            break;
        auto count = std::min(held.size(), out.size() - done);
        std::copy_n(held.begin(), count, out.begin() + static_cast<std::ptrdiff_t>(done));
        consume(count);
        done += count;
    }
    return done;
}

bool BufferedSource::seek(std::uint64_t offset) {
    start_ = end_ = 0;
    return source_.seek(offset);
}

bool BufferedSource::skip(std::uint64_t count) {
    std::size_t held = end_ - start_;
    if (count <= held) {
        start_ += static_cast<std::size_t>(count);
        return true;
    }
    // The source stands at the end of the held bytes: skip the rest from there.
    start_ = end_ = 0;
    return source_.skip(count - held);
}

std::span<const std::uint8_t> BufferedSource::peek() {
    if (start_ == end_) {
        start_ = 0;
        end_ = source_.read(buffer_);
    }
    return std::span<const std::uint8_t>(buffer_).subspan(start_, end_ - start_);
}

void BufferedSource::consume(std::size_t count) {
    assert(count <= end_ - start_);
    start_ += count;
}

}  // namespace mirva::base
