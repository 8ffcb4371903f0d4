#include "base/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "base/failure.h"

namespace mirva::base {

FileSource::FileSource(int descriptor, bool readable)
    : descriptor_(descriptor), readable_(readable) {}

FileSource::~FileSource() {
    ::close(descriptor_);
}

std::size_t FileSource::read(std::span<std::uint8_t> out) {
    if (!readable_)
        return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        auto got = ::read(descriptor_, out.data() + done, out.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool FileSource::seek(std::uint64_t offset) {
    if (!readable_ || offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return false;
    return ::lseek(descriptor_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool FileSource::skip(std::uint64_t count) {
    if (!readable_ || count > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return false;
    return ::lseek(descriptor_, static_cast<off_t>(count), SEEK_CUR) >= 0;
}

std::optional<std::uint64_t> FileSource::size() {
    struct stat status {};
    if (!readable_ || ::fstat(descriptor_, &status) != 0 || status.st_size < 0)
        return std::nullopt;
    if (S_ISBLK(status.st_mode)) {
        auto end = ::lseek(descriptor_, 0, SEEK_END);
        auto back = ::lseek(descriptor_, 0, SEEK_SET);
        if (end < 0 || back != 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(end);
    }
    return static_cast<std::uint64_t>(status.st_size);
}

std::unique_ptr<FileSource> open_source(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer forever.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        fatal(MSG_OPEN_SOURCE, path);
    struct stat status {};
    bool readable =
        ::fstat(descriptor, &status) == 0 && (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode));
    if (readable) {
        int flags = ::fcntl(descriptor, F_GETFL);
        if (flags >= 0)
            ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    return std::make_unique<FileSource>(descriptor, readable);
}

}  // namespace mirva::base
