#include <zlib.h>

#include <algorithm>
#include <array>
#include <memory>

#include "base/failure.h"
#include "containers/archive.h"

namespace mirva::containers {

namespace {

constexpr std::size_t CHUNK_BYTES = std::size_t{64} * 1024;

// The bytes every gzip member begins with: ID1, ID2, and CM 8 (deflate).
constexpr std::array<std::uint8_t, 3> GZIP_MAGIC{0x1F, 0x8B, 0x08};

// zlib's window bits plus 16: a gzip wrapper only (neither zlib's nor none), whose CRC-32 and
// length trailer inflate checks itself.
constexpr int GZIP_WINDOW_BITS = 16 + MAX_WBITS;

struct InflateEnd {
    void operator()(z_stream* stream) const { (void)inflateEnd(stream); }
};

[[noreturn]] void damaged(std::string_view path) {
    base::fatal(base::MSG_READ_SOURCE, path);
}

// The name of a gzip file's content: the path up to its last dot.
std::string without_extension(std::string_view path) {
    auto dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

// The compressed bytes, a chunk at a time, never more than MAX_ARCHIVE_READ_BYTES in all.
struct Input {
    base::ByteSource& source;
    std::uint64_t read_total = 0;
    std::vector<std::uint8_t> chunk = std::vector<std::uint8_t>(CHUNK_BYTES);

    // Reads the next chunk; returns how many bytes it holds, 0 at the end of the file.
    std::size_t refill(std::string_view path) {
        if (read_total == MAX_ARCHIVE_READ_BYTES)
            damaged(path);
        auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>(chunk.size(), MAX_ARCHIVE_READ_BYTES - read_total));
        std::size_t count = source.read(std::span(chunk).first(want));
        read_total += count;
        return count;
    }
};

}  // namespace

// Members follow one another as gzip -d reads them; bytes after a member must begin another
// whole member. Trailing zeros, which gzip -d skips, and other trailing bytes, which it skips
// with a warning, are refused as damage.
std::optional<ArchiveMember> read_gzip_member(base::ByteSource& source, std::string_view path,
                                              const MemberFilter& wanted) {
    Input input{source};
    std::size_t count = input.refill(path);
    if (count < GZIP_MAGIC.size() ||
        !std::equal(GZIP_MAGIC.begin(), GZIP_MAGIC.end(), input.chunk.begin()))
        damaged(path);
    ArchiveMember member{without_extension(path), {}};
    if (!wanted(member.name))
        return std::nullopt;

    z_stream stream{};
    if (inflateInit2(&stream, GZIP_WINDOW_BITS) != Z_OK)
        base::error(base::MSG_NO_MEMORY);
    std::unique_ptr<z_stream, InflateEnd> owner(&stream);
    stream.next_in = input.chunk.data();
    stream.avail_in = static_cast<uInt>(count);  // count <= CHUNK_BYTES
    bool member_ended = false;
    while (true) {
        if (stream.avail_in == 0) {
            count = input.refill(path);
            if (count == 0) {
                if (member_ended)
                    break;
                damaged(path);  // The stream is cut short.
            }
            stream.next_in = input.chunk.data();
            stream.avail_in = static_cast<uInt>(count);
        }
        if (member_ended) {
            if (inflateReset(&stream) != Z_OK)
                damaged(path);
            member_ended = false;
        }
        std::span<std::uint8_t> room = member_room(member.bytes, CHUNK_BYTES, path);
        stream.next_out = room.data();
        stream.avail_out = static_cast<uInt>(room.size());  // room.size() <= CHUNK_BYTES
        int status = inflate(&stream, Z_NO_FLUSH);
        member.bytes.resize(member.bytes.size() - stream.avail_out);
        if (status == Z_MEM_ERROR)
            base::error(base::MSG_NO_MEMORY);
        if (status == Z_STREAM_END)
            member_ended = true;
        else if (status != Z_OK)
            damaged(path);
    }
    // The last member may end exactly one byte past the limit.
    if (member.bytes.size() > MAX_MEMBER_BYTES)
        damaged(path);
    return member;
}

}  // namespace mirva::containers
