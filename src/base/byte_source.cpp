#include "base/byte_source.h"

#include <algorithm>
#include <limits>

#include "base/failure.h"

namespace mirva::base {

void read_exact(ByteSource& source, std::span<std::uint8_t> out, std::string_view message,
                std::string_view path) {
    if (!source.read_all(out))
        fatal(message, path);
}

std::size_t MemorySource::read(std::span<std::uint8_t> out) {
    if (position_ >= bytes_.size())
        return 0;
    auto available = static_cast<std::size_t>(bytes_.size() - position_);
    auto count = std::min(available, out.size());
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, out.begin());
    position_ += count;
    return count;
}

bool MemorySource::seek(std::uint64_t offset) {
    position_ = offset;
    return true;
}

bool MemorySource::skip(std::uint64_t count) {
    // A file offset is a signed 64-bit number; a skip beyond it fails as lseek would.
    constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (count > limit - position_)
        return false;
    position_ += count;
    return true;
}

}  // namespace mirva::base
