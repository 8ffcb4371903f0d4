#include "base/buffered_reader.h"

#include <algorithm>

namespace mirva::base {

BufferedReader::BufferedReader(ByteSource& source, std::uint64_t size)
    : source_(source), size_(size) {}

bool BufferedReader::refill() {
    const bool reading_on = position_ == buffer_start_ + buffer_length_;
    if (source_position_ != position_) {
        if (!source_.seek(position_))
            return false;
        source_position_ = position_;
    }
    // A whole buffer when reading on, a little after a skip; never more than the rest of the
    // source, as a read that asks past the end costs one more call.
    auto wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(reading_on ? BUFFER_BYTES : SKIP_READ_BYTES, remaining()));
    buffer_.resize(BUFFER_BYTES);
    buffer_length_ = source_.read(std::span(buffer_).first(wanted));
    buffer_start_ = position_;
    source_position_ += buffer_length_;
    return buffer_length_ > 0;
}

bool BufferedReader::read(std::span<std::uint8_t> out) {
    if (out.size() > remaining())
        return false;
    std::size_t done = 0;
    while (done < out.size()) {
        // position_ >= buffer_start_ unless nothing was read yet; both cases refill.
        if (position_ < buffer_start_ || position_ - buffer_start_ >= buffer_length_) {
            if (!refill())
                return false;
        }
        auto offset = static_cast<std::size_t>(position_ - buffer_start_);
        std::size_t count = std::min(buffer_length_ - offset, out.size() - done);
        std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(offset), count,
                    out.begin() + static_cast<std::ptrdiff_t>(done));
        done += count;
        position_ += count;
    }
    return true;
}

bool BufferedReader::skip(std::uint64_t count) {
    if (count > remaining())
        return false;
    position_ += count;
    return true;
}

}  // namespace mirva::base
