#include "cli/files.h"

#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>

#include "base/failure.h"

namespace mirva::cli {

bool destination_exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

namespace {

// How an attempt to write the destination ended.
enum class Outcome { written, exists, failed, unsupported };

// The folder the destination is named in: all before its last slash.
std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int descriptor, std::span<const std::uint8_t> bytes, const FileCalls& calls) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        auto put = calls.write(descriptor, bytes.subspan(done).data(), bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// A file opened with O_TMPFILE has no name until it is linked in, so nothing is ever seen
// half-written and nothing is left behind, whatever happens to the process.
Outcome write_unnamed(const std::string& folder, const std::string& path,
                      std::span<const std::uint8_t> bytes, const FileCalls& calls) {
    int descriptor = calls.open_unnamed(folder.c_str());
    if (descriptor < 0)
        return Outcome::unsupported;
    if (!write_all(descriptor, bytes, calls)) {
        (void)calls.close(descriptor);
        return Outcome::failed;
    }
    // The file cannot be closed before it has a name. Closing a duplicate first reports what a
    // close reports (a network file system's failed write-back), before the name is given.
    int duplicate = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0 || calls.close(duplicate) != 0) {
        (void)calls.close(descriptor);
        return Outcome::failed;
    }
    // Linking through /proc needs no privilege; AT_EMPTY_PATH works without /proc where the
    // process may use it. Neither replaces a name, nor follows a link standing at it.
    std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    bool linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!linked && errno != EEXIST)
        linked = ::linkat(descriptor, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
    int link_error = errno;
    if (!linked) {
        (void)calls.close(descriptor);
        return link_error == EEXIST ? Outcome::exists : Outcome::unsupported;
    }
    if (calls.close(descriptor) != 0) {
        (void)::unlink(path.c_str());
        return Outcome::failed;
    }
    return Outcome::written;
}

// A name for a temporary file that no other process picks: O_EXCL refuses one taken anyway.
std::string temporary_name(const std::string& folder, unsigned attempt) {
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        random = static_cast<std::uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15ull + attempt;
    }
    std::array<char, 64> name{};
    (void)std::snprintf(name.data(), name.size(), "/.mirva-%d-%016llx",
                        static_cast<int>(::getpid()), static_cast<unsigned long long>(random));
    return folder + name.data();
}

// Where a file system has no unnamed files: a named one, written and closed, then linked (or,
// where hard links are missing, renamed) to the destination without replacing it.
Outcome write_named(const std::string& folder, const std::string& path,
                    std::span<const std::uint8_t> bytes, const FileCalls& calls) {
    constexpr unsigned ATTEMPTS = 100;
    std::string temporary;
    int descriptor = -1;
    for (unsigned attempt = 0; attempt < ATTEMPTS && descriptor < 0; ++attempt) {
        temporary = temporary_name(folder, attempt);
        descriptor =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            return Outcome::failed;
    }
    if (descriptor < 0)
        return Outcome::failed;
    bool written = write_all(descriptor, bytes, calls);
    if (calls.close(descriptor) != 0 || !written) {
        (void)::unlink(temporary.c_str());
        return Outcome::failed;
    }
    Outcome outcome = Outcome::written;
    if (::link(temporary.c_str(), path.c_str()) != 0) {
        if (errno == EEXIST)
            outcome = Outcome::exists;
        else if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(),
                             RENAME_NOREPLACE) == 0)
            return Outcome::written;
        else
            outcome = errno == EEXIST ? Outcome::exists : Outcome::failed;
    }
    (void)::unlink(temporary.c_str());
    return outcome;
}

int open_unnamed_file(const char* folder) {
    return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

}  // namespace

const FileCalls& system_file_calls() {
    static const FileCalls calls{open_unnamed_file, ::write, ::close};
    return calls;
}

void write_new_file(const std::string& path, std::span<const std::uint8_t> bytes,
                    const FileCalls& calls) {
    std::string folder = folder_of(path);
    Outcome outcome = write_unnamed(folder, path, bytes, calls);
    if (outcome == Outcome::unsupported)
        outcome = write_named(folder, path, bytes, calls);
    if (outcome == Outcome::exists)
        base::fatal(base::MSG_DESTINATION_EXISTS, path);
    if (outcome != Outcome::written)
        base::fatal(base::MSG_CREATE_DESTINATION, path);
}

void drop_privileges() {
    // The kernel marks a start as secure when the real and effective ids differ; otherwise every
    // id is already the caller's and there is nothing to give up.
    if (::getauxval(AT_SECURE) == 0)
        return;
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
