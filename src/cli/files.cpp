#include "cli/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "base/failure.h"

namespace mirva::cli {

bool destination_exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

void write_new_file(const std::string& path, std::span<const std::uint8_t> bytes) {
    // O_EXCL never follows a link and never opens a file that appeared after the probe.
    int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        if (errno == EEXIST)
            base::fatal(base::MSG_DESTINATION_EXISTS, path);
        base::fatal(base::MSG_CREATE_DESTINATION, path);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        auto put = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            ::close(descriptor);
            base::fatal(base::MSG_CREATE_DESTINATION, path);
        }
        done += static_cast<std::size_t>(put);
    }
    // A full disk may only show when the file is closed: that too is a failed write.
    if (::close(descriptor) != 0)
        base::fatal(base::MSG_CREATE_DESTINATION, path);
}

void drop_privileges() {
    gid_t group = ::getgid();
    uid_t user = ::getuid();
    if (::setresgid(group, group, group) != 0 || ::setresuid(user, user, user) != 0)
        base::error(base::MSG_INTERNAL);
}

void drain_terminal_input() {
    if (::isatty(STDIN_FILENO))
        ::tcflush(STDIN_FILENO, TCIFLUSH);
}

}  // namespace mirva::cli
