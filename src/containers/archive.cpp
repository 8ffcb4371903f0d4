#include "containers/archive.h"

#include <algorithm>

#include "base/failure.h"

namespace mirva::containers {

// The size a member's header claims is never trusted to reserve memory: the buffer grows with
// what is actually inflated.
std::span<std::uint8_t> member_room(std::vector<std::uint8_t>& bytes, std::size_t chunk,
                                    std::string_view path) {
    constexpr std::size_t LIMIT = MAX_MEMBER_BYTES + 1;
    const std::size_t filled = bytes.size();
    if (filled >= LIMIT)
        base::fatal(base::MSG_READ_SOURCE, path);
    const std::size_t room = std::min(chunk, LIMIT - filled);
    if (bytes.capacity() - filled < room)
        bytes.reserve(std::min(std::max(2 * bytes.capacity(), filled + room), LIMIT));
    bytes.resize(filled + room);
    return std::span(bytes).subspan(filled);
}

}  // namespace mirva::containers
