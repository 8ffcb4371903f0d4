// A copy installed set-user-id root and run by an unprivileged user reads and writes files with
// that user's rights only.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* TEST_USER = "mirva-test";

// The unprivileged user the test runs as, created when missing.
const passwd* unprivileged_user() {
    if (::getpwnam(TEST_USER) == nullptr) {
        std::string command = std::string("useradd --system --no-create-home --shell ") +
                              "/usr/sbin/nologin " + TEST_USER + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return nullptr;
    }
    return ::getpwnam(TEST_USER);
}

class SetUserId : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "installing a set-user-id root program needs root";
        user = unprivileged_user();
        ASSERT_NE(user, nullptr) << "cannot create the user " << TEST_USER;
        fs::permissions(dir.path(), fs::perms(0755));
        fs::copy_file(MIRVA_BINARY, dir / "mirva");
        ASSERT_EQ(::chown((dir / "mirva").c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod((dir / "mirva").c_str(), 04755), 0);
        fs::create_directory(dir / "work");
        ASSERT_EQ(::chown((dir / "work").c_str(), user->pw_uid, user->pw_gid), 0);
        fs::create_directory(dir / "locked");  // Writable by root only.
        fs::permissions(dir / "locked", fs::perms(0755));
        auto card = make_test_card();
        write_file(dir / "work/public.scr", bytes_of(card));
        write_file(dir / "secret.scr", bytes_of(card));
        fs::permissions(dir / "secret.scr", fs::perms(0600));
        fs::permissions(dir / "work/public.scr", fs::perms(0644));
    }

    RunResult run_as_user(const std::vector<std::string>& arguments) {
        RunOptions options;
        options.user = static_cast<int>(user->pw_uid);
        options.group = static_cast<int>(user->pw_gid);
        return run_program((dir / "mirva").string(), arguments, dir / "work", options);
    }

    TemporaryDirectory dir;
    const passwd* user = nullptr;
};

TEST_F(SetUserId, TheBitReallyRaisesTheEffectiveUser) {
    // Without this the other tests would prove nothing: a copy of id, installed the same way,
    // runs as root.
    fs::copy_file("/usr/bin/id", dir / "id");
    ASSERT_EQ(::chmod((dir / "id").c_str(), 04755), 0);
    auto id = run_program(
        (dir / "id").string(), {"-u"}, dir / "work",
        {.user = static_cast<int>(user->pw_uid), .group = static_cast<int>(user->pw_gid)});
    EXPECT_EQ(id.standard_output, "0\n");
}

TEST_F(SetUserId, SourceOnlyRootCanReadIsRefused) {
    expect_message(run_as_user({"../secret.scr", "out.scr"}),
                   "Error abriendo el fichero ../secret.scr");
    EXPECT_FALSE(fs::exists(dir / "work/out.scr"));
}

TEST_F(SetUserId, DestinationOnlyRootCanWriteIsRefused) {
    expect_message(run_as_user({"public.scr", "../locked/out.scr"}),
                   "Error creando el fichero ../locked/out.scr");
    EXPECT_FALSE(fs::exists(dir / "locked/out.scr"));
}

TEST_F(SetUserId, FilesWrittenBelongToTheUser) {
    expect_success(run_as_user({"public.scr", "out.scr"}));
    struct stat status {};
    ASSERT_EQ(::stat((dir / "work/out.scr").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, user->pw_uid);
}

}  // namespace
}  // namespace mirva::testing
