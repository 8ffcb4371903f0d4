// minizip finds the members through the central directory, as unzip does, and reads only through
// the callbacks below: the file is never opened a second time, and every read is bounded.
#include <minizip/unzip.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "base/failure.h"
#include "containers/archive.h"

namespace mirva::containers {

namespace {

constexpr std::size_t CHUNK_BYTES = std::size_t{64} * 1024;
constexpr std::size_t BUFFER_BYTES = std::size_t{16} * 1024;

// Compression methods: 0 stored, 8 deflated. Others (bzip2, LZMA, deflate64...) are not read.
constexpr unsigned long METHOD_STORED = 0;
constexpr unsigned long METHOD_DEFLATED = 8;
// General purpose flags: bit 0, the member is encrypted.
constexpr unsigned long FLAG_ENCRYPTED = 0x0001;
// External attributes: an MS-DOS folder bit in the low byte; a Unix mode in the high 16 bits
// when the member was made on Unix (host 3 in the high byte of "version made by").
constexpr unsigned long DOS_FOLDER = 0x10;
constexpr unsigned long HOST_UNIX = 3;
constexpr unsigned long UNIX_TYPE_MASK = 0170000;
constexpr unsigned long UNIX_REGULAR = 0100000;

[[noreturn]] void damaged(std::string_view path) {
    base::fatal(base::MSG_READ_SOURCE, path);
}

// What minizip's callbacks read from: the source, the offset minizip stands at, and a buffer of
// the file from buffer_offset on. minizip reads its records a byte at a time and seeks before
// each one, so reads within the buffer, wherever they start, cost no system call.
struct Input {
    explicit Input(base::ByteSource& from) : source(from) {}
    base::ByteSource& source;
    std::uint64_t position = 0;
    std::uint64_t read_total = 0;  // Bytes read from the source, at most MAX_ARCHIVE_READ_BYTES.
    bool failed = false;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(BUFFER_BYTES);
    std::uint64_t buffer_offset = 0;
    std::size_t held = 0;  // buffer[0, held) holds the file from buffer_offset on.
};

// Fills the buffer from the position on; false at the end of the file or past the read limit.
bool fill(Input& input) {
    input.held = 0;
    input.buffer_offset = input.position;
    if (input.read_total == MAX_ARCHIVE_READ_BYTES || !input.source.seek(input.position)) {
        input.failed = true;
        return false;
    }
    auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(input.buffer.size(), MAX_ARCHIVE_READ_BYTES - input.read_total));
    input.held = input.source.read(std::span(input.buffer).first(want));
    input.read_total += input.held;
    return input.held > 0;
}

voidpf open_callback(voidpf opaque, const void*, int mode) {
    return (mode & ZLIB_FILEFUNC_MODE_READ) != 0 ? opaque : nullptr;
}

uLong read_callback(voidpf, voidpf stream, void* buffer, uLong size) {
    auto& input = *static_cast<Input*>(stream);
    // minizip asks for at most its own buffer's size (UNZ_BUFSIZE) at once.
    std::span out(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        // buffer_offset <= position is checked first, so the difference does not wrap.
        if (input.position < input.buffer_offset ||
            input.position - input.buffer_offset >= input.held) {
            if (!fill(input))
                break;
        }
        // position - buffer_offset < held <= BUFFER_BYTES.
        auto from = static_cast<std::size_t>(input.position - input.buffer_offset);
        std::size_t count = std::min(input.held - from, out.size() - done);
        std::copy_n(input.buffer.begin() + static_cast<std::ptrdiff_t>(from), count,
                    out.begin() + static_cast<std::ptrdiff_t>(done));
        done += count;
        input.position += count;
    }
    return done;
}

uLong write_callback(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T tell_callback(voidpf, voidpf stream) {
    return static_cast<Input*>(stream)->position;
}

// Offsets come from the archive's own fields, so every sum is checked before it is made. The
// source itself is positioned when the buffer is next filled.
long seek_callback(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto& input = *static_cast<Input*>(stream);
    constexpr auto FILE_LIMIT =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = input.position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        auto size = input.source.size();
        if (!size)
            return -1;
        base = *size;
    } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
        return -1;
    }
    if (base > FILE_LIMIT || offset > FILE_LIMIT - base)
        return -1;
    input.position = base + offset;
    return 0;
}

int close_callback(voidpf, voidpf) {
    return 0;
}

int error_callback(voidpf, voidpf stream) {
    return static_cast<Input*>(stream)->failed ? 1 : 0;
}

struct ZipClose {
    void operator()(void* zip) const { (void)unzClose(zip); }
};

// True for a member that can be read: a regular file (neither a folder nor a link), stored or
// deflated, not encrypted. Any other member is passed over as if its name were not wanted.
bool readable(const unz_file_info64& info, std::string_view name) {
    if (name.empty() || name.back() == '/' || (info.external_fa & DOS_FOLDER) != 0)
        return false;
    const unsigned long unix_type = (info.external_fa >> 16) & UNIX_TYPE_MASK;
    if ((info.version >> 8) == HOST_UNIX && unix_type != 0 && unix_type != UNIX_REGULAR)
        return false;
    return (info.flag & FLAG_ENCRYPTED) == 0 &&
           (info.compression_method == METHOD_STORED || info.compression_method == METHOD_DEFLATED);
}

// Reads the current member whole. minizip stops at the size the central directory claims and
// checks the CRC-32 only when that many bytes came, so a member that gives fewer is refused
// here; a claim past the limit is refused before anything is inflated.
std::vector<std::uint8_t> read_current(unzFile zip, const unz_file_info64& info,
                                       std::string_view path) {
    if (info.uncompressed_size > MAX_MEMBER_BYTES || unzOpenCurrentFile(zip) != UNZ_OK)
        damaged(path);
    std::vector<std::uint8_t> bytes;
    while (true) {
        std::span<std::uint8_t> room = member_room(bytes, CHUNK_BYTES, path);
        int count = unzReadCurrentFile(zip, room.data(), static_cast<unsigned>(room.size()));
        if (count < 0 || static_cast<std::size_t>(count) > room.size())
            damaged(path);
        bytes.resize(bytes.size() - room.size() + static_cast<std::size_t>(count));
        if (count == 0)
            break;
    }
    if (bytes.size() != info.uncompressed_size || unzCloseCurrentFile(zip) != UNZ_OK)
        damaged(path);
    return bytes;
}

}  // namespace

std::optional<ArchiveMember> read_zip_member(base::ByteSource& source, std::string_view path,
                                             const MemberFilter& wanted) {
    Input input(source);
    zlib_filefunc64_def functions{open_callback, read_callback,  write_callback, tell_callback,
                                  seek_callback, close_callback, error_callback, &input};
    std::unique_ptr<void, ZipClose> owner(unzOpen2_64("", &functions));
    if (owner == nullptr)
        damaged(path);
    unzFile zip = owner.get();
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK)
        damaged(path);
    if (global.number_entry == 0)
        return std::nullopt;
    for (int status = unzGoToFirstFile(zip); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(zip)) {
        if (status != UNZ_OK)
            damaged(path);
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            damaged(path);
        // A name is at most 65535 bytes; minizip adds a terminating zero when there is room.
        std::string name(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            damaged(path);
        name.resize(name.size() - 1);
        if (readable(info, name) && wanted(name))
            return ArchiveMember{std::move(name), read_current(zip, info, path)};
    }
    return std::nullopt;
}

}  // namespace mirva::containers
