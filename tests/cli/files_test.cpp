#include "cli/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "support/expect_failure.h"
#include "support/run_program.h"

namespace mirva::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::names_in;

// A file system without unnamed files, as O_TMPFILE fails on one.
int no_unnamed_files(const char* /*folder*/) {
    errno = EOPNOTSUPP;
    return -1;
}

// A full disk after the first 100 bytes.
ssize_t write_then_fill(int descriptor, const void* bytes, std::size_t count) {
    static std::size_t written = 0;
    if (written >= 100) {
        written = 0;  // Ready for the next case.
        errno = ENOSPC;
        return -1;
    }
    auto put = ::write(descriptor, bytes, std::min<std::size_t>(count, 100 - written));
    written += static_cast<std::size_t>(put);
    return put;
}

// A close that reports a failed write-back after the data were handed over, as a network file
// system's does; the descriptor is closed all the same.
int failing_close(int descriptor) {
    ::close(descriptor);
    errno = EIO;
    return -1;
}

struct Route {
    const char* name;
    FileCalls calls;
};

void PrintTo(const Route& route, std::ostream* out) {
    *out << route.name;
}

const Route ROUTES[] = {
    {"unnamed", system_file_calls()},
    {"named", {no_unnamed_files, ::write, ::close}},
};

class WriteNewFile : public ::testing::TestWithParam<Route> {
protected:
    testing::TemporaryDirectory dir;
    Bytes bytes = Bytes(20000, 0x5A);
    std::string path(const std::string& name) { return (dir / name).string(); }
    void write(const std::string& name, const FileCalls& calls) {
        write_new_file(path(name), bytes, calls);
    }
};

TEST_P(WriteNewFile, GivesTheWholeFileItsNameAndLeavesNothingElse) {
    write("out.scr", GetParam().calls);
    EXPECT_EQ(testing::read_file(dir / "out.scr"), bytes);
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"out.scr"});
    // The permissions are those of any new file: 0666 less the umask.
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(dir / "out.scr").permissions(), static_cast<fs::perms>(0666 & ~mask));
    // A name in the current folder and an empty file are written too.
    auto before = fs::current_path();
    fs::current_path(dir.path());
    write_new_file("here.scr", {}, GetParam().calls);
    fs::current_path(before);
    EXPECT_EQ(fs::file_size(dir / "here.scr"), 0u);
}

TEST_P(WriteNewFile, NeverReplacesNorFollowsWhatStandsAtTheName) {
    testing::write_file(dir / "taken.scr", {1, 2, 3});
    EXPECT_FAILURE(write("taken.scr", GetParam().calls),
                   "Ya existe el fichero " + path("taken.scr"));
    EXPECT_EQ(testing::read_file(dir / "taken.scr"), (Bytes{1, 2, 3}));
    ASSERT_EQ(::symlink("target.scr", path("link.scr").c_str()), 0);
    EXPECT_FAILURE(write("link.scr", GetParam().calls), "Ya existe el fichero " + path("link.scr"));
    fs::create_directory(dir / "folder.scr");
    EXPECT_FAILURE(write("folder.scr", GetParam().calls),
                   "Ya existe el fichero " + path("folder.scr"));
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"taken.scr", "link.scr", "folder.scr"}));
}

TEST_P(WriteNewFile, LeavesNothingWhenAWriteOrTheCloseFails) {
    FileCalls short_write = GetParam().calls;
    short_write.write = write_then_fill;
    FileCalls bad_close = GetParam().calls;
    bad_close.close = failing_close;
    for (const FileCalls& calls : {short_write, bad_close}) {
        EXPECT_FAILURE(write("out.scr", calls), "Error creando el fichero " + path("out.scr"));
        EXPECT_TRUE(names_in(dir.path()).empty());
    }
    EXPECT_FAILURE(write("missing/out.scr", GetParam().calls),
                   "Error creando el fichero " + path("missing/out.scr"));
    EXPECT_TRUE(names_in(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(EveryRoute, WriteNewFile, ::testing::ValuesIn(ROUTES),
                         [](const auto& route) { return std::string(route.param.name); });

}  // namespace
}  // namespace mirva::cli
