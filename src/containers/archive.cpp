#include "containers/archive.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>

#include "base/failure.h"

namespace mirva::containers {

#if MIRVA_WITH_LIBARCHIVE

namespace {

constexpr std::size_t CHUNK_BYTES = 64 * 1024;

// What libarchive's callbacks read from: the source, the offset it stands at, and the buffer the
// last read filled.
struct Client {
    explicit Client(base::ByteSource& from) : source(from) {}
    base::ByteSource& source;
    std::int64_t position = 0;
    std::array<std::uint8_t, CHUNK_BYTES> buffer{};
};

la_ssize_t read_callback(struct archive*, void* data, const void** buffer) {
    auto& client = *static_cast<Client*>(data);
    std::size_t count = client.source.read(client.buffer);
    static_assert(CHUNK_BYTES <= std::numeric_limits<la_ssize_t>::max());
    // A file's size fits in 63 bits, and so does every position within it.
    client.position += static_cast<std::int64_t>(count);
    *buffer = client.buffer.data();
    return static_cast<la_ssize_t>(count);
}

// Offsets come from the archive's own fields, so every sum is checked before it is made.
la_int64_t seek_callback(struct archive*, void* data, la_int64_t offset, int whence) {
    auto& client = *static_cast<Client*>(data);
    std::int64_t origin = 0;
    if (whence == SEEK_CUR) {
        origin = client.position;
    } else if (whence == SEEK_END) {
        auto size = client.source.size();
        if (!size || *size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return ARCHIVE_FATAL;
        origin = static_cast<std::int64_t>(*size);
    } else if (whence != SEEK_SET) {
        return ARCHIVE_FATAL;
    }
    // origin >= 0 always holds.
    if (offset < -origin ||
        (offset > 0 && offset > std::numeric_limits<std::int64_t>::max() - origin))
        return ARCHIVE_FATAL;
    std::int64_t target = origin + offset;
    if (!client.source.seek(static_cast<std::uint64_t>(target)))
        return ARCHIVE_FATAL;
    client.position = target;
    return target;
}

struct ArchiveFree {
    const LibarchiveLibrary* library;
    void operator()(struct archive* reader) const { (void)library->read_free(reader); }
};

[[noreturn]] void damaged(std::string_view path) {
    base::fatal(base::MSG_READ_SOURCE, path);
}

// Reads the data of the current member, checked against the limit as it inflates: the size its
// header claims is never trusted, nor used to reserve memory. The buffer grows by doubling up to
// the limit and never past it.
std::vector<std::uint8_t> read_member_data(const LibarchiveLibrary& library, struct archive* reader,
                                           std::string_view path) {
    std::vector<std::uint8_t> bytes;
    while (true) {
        std::size_t filled = bytes.size();
        if (filled == MAX_MEMBER_BYTES) {
            // A member as large as allowed: one byte more makes it too large.
            std::array<std::uint8_t, 1> probe{};
            if (library.read_data(reader, probe.data(), probe.size()) != 0)
                damaged(path);
            return bytes;
        }
        std::size_t room = std::min(CHUNK_BYTES, MAX_MEMBER_BYTES - filled);
        if (bytes.capacity() - filled < room)
            bytes.reserve(
                std::min(std::max(2 * bytes.capacity(), filled + room), MAX_MEMBER_BYTES));
        bytes.resize(filled + room);
        std::span<std::uint8_t> free_space = std::span(bytes).subspan(filled);
        la_ssize_t count = library.read_data(reader, free_space.data(), free_space.size());
        if (count < 0 || static_cast<std::size_t>(count) > free_space.size())
            damaged(path);
        bytes.resize(filled + static_cast<std::size_t>(count));
        if (count == 0)
            return bytes;
    }
}

// The CRC-32 of gzip and zip (reflected, polynomial 0xEDB88320).
std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t index = 0; index < entries.size(); ++index) {
            std::uint32_t value = index;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
            entries[index] = value;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// libarchive does not check a gzip trailer, so the content is checked here against the last 8
// bytes of the file: the CRC-32 and the size modulo 2^32 of what the stream holds. A file of
// several gzip members, or with bytes after its stream, fails this check and is refused.
void check_gzip_trailer(base::ByteSource& source, std::span<const std::uint8_t> content,
                        std::string_view path) {
    auto size = source.size();
    std::array<std::uint8_t, 8> trailer{};
    if (!size || *size < trailer.size() || !source.seek(*size - trailer.size()) ||
        !source.read_all(trailer))
        damaged(path);
    if (base::little_endian_32(trailer, 0) != crc32(content) ||
        base::little_endian_32(trailer, 4) != static_cast<std::uint32_t>(content.size()))
        damaged(path);
}

// The name of a gzip file's content: the path up to its last dot.
std::string without_extension(std::string_view path) {
    auto dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

}  // namespace

std::optional<ArchiveMember> read_archive_member(const LibarchiveLibrary& library,
                                                 base::ByteSource& source, ArchiveFormat format,
                                                 std::string_view path,
                                                 const MemberFilter& wanted) {
    auto client = std::make_unique<Client>(source);
    std::unique_ptr<struct archive, ArchiveFree> owner(library.read_new(), ArchiveFree{&library});
    if (owner == nullptr)
        base::error(base::MSG_NO_MEMORY);
    struct archive* reader = owner.get();
    if (format == ArchiveFormat::zip) {
        // The zip reader that follows the central directory, as unzip does: members are found
        // by its offsets and skipped by seeking. (The streaming reader would scan the whole file
        // for the end of a member whose sizes come after its data.)
        if (library.support_format_zip_seekable(reader) != ARCHIVE_OK)
            damaged(path);
    } else {
        // A libarchive built without zlib would run an external gzip program instead (and say so
        // with a warning): that is refused.
        if (library.support_format_raw(reader) != ARCHIVE_OK ||
            library.support_filter_gzip(reader) != ARCHIVE_OK)
            damaged(path);
    }
    (void)library.set_callback_data(reader, client.get());
    (void)library.set_read_callback(reader, read_callback);
    (void)library.set_seek_callback(reader, seek_callback);
    if (library.open(reader) != ARCHIVE_OK)
        damaged(path);

    while (true) {
        struct archive_entry* entry = nullptr;
        int status = library.next_header(reader, &entry);
        if (status == ARCHIVE_EOF)
            return std::nullopt;
        if ((status != ARCHIVE_OK && status != ARCHIVE_WARN) || entry == nullptr)
            damaged(path);
        std::string name;
        if (format == ArchiveFormat::gzip) {
            // The raw format takes any bytes at all; only a gzip stream is a gzip file.
            if (library.filter_code(reader, 0) != ARCHIVE_FILTER_GZIP)
                damaged(path);
            name = without_extension(path);
        } else {
            const char* pathname = library.entry_pathname(entry);
            // Folders and links are never a member to read.
            if (pathname == nullptr || library.entry_filetype(entry) != AE_IFREG)
                continue;
            name = pathname;
        }
        if (wanted(name)) {
            ArchiveMember member{std::move(name), read_member_data(library, reader, path)};
            if (format == ArchiveFormat::gzip)
                check_gzip_trailer(source, member.bytes, path);
            return member;
        }
        if (format == ArchiveFormat::gzip)
            return std::nullopt;
    }
}

#else

std::optional<ArchiveMember> read_archive_member(const LibarchiveLibrary&, base::ByteSource&,
                                                 ArchiveFormat, std::string_view,
                                                 const MemberFilter&) {
    base::fatal(base::MSG_LIBRARY_MISSING, LIBARCHIVE_NAME);
}

#endif

std::optional<ArchiveMember> read_zip_member(base::ByteSource& source, std::string_view path,
                                             const MemberFilter& wanted) {
    return read_archive_member(load_libarchive(), source, ArchiveFormat::zip, path, wanted);
}

std::optional<ArchiveMember> read_gzip_member(base::ByteSource& source, std::string_view path,
                                              const MemberFilter& wanted) {
    return read_archive_member(load_libarchive(), source, ArchiveFormat::gzip, path, wanted);
}

}  // namespace mirva::containers
