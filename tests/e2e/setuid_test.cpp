// A copy installed set-user-id root and run by an unprivileged user reads and writes files with
// that user's rights only.
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

// The users these tests create: one per test process, named for it, so that processes running
// side by side never share one; the comment tells them from every other user.
constexpr const char* TEST_USER_PREFIX = "mirva-test-";
constexpr const char* TEST_USER_COMMENT = "mirva set-user-id tests";

std::string test_user_name(pid_t process) {
    return std::string(TEST_USER_PREFIX).append(std::to_string(process));
}

bool remove_test_user(const std::string& name) {
    return std::system(("userdel " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Removes the users of test processes that were killed before they could remove their own.
void remove_left_over_users() {
    std::vector<std::string> left_over;
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        std::string name = entry->pw_name;
        if (!name.starts_with(TEST_USER_PREFIX) ||
            std::string(entry->pw_gecos) != TEST_USER_COMMENT)
            continue;
        const auto process =
            static_cast<pid_t>(std::atol(name.c_str() + name.find_last_of('-') + 1));
        if (process > 0 && ::kill(process, 0) != 0 && errno == ESRCH)
            left_over.push_back(name);
    }
    ::endpwent();
    for (const auto& name : left_over)
        (void)remove_test_user(name);
}

class SetUserId : public ::testing::Test {
protected:
    // The unprivileged user the tests run as, created for the suite and removed after it,
    // whether its tests passed or failed.
    static void SetUpTestSuite() {
        if (::geteuid() != 0)
            return;
        remove_left_over_users();
        std::string command = "useradd --system --no-create-home --shell /usr/sbin/nologin";
        command.append(" --comment '").append(TEST_USER_COMMENT).append("' ");
        command.append(test_user_name(::getpid())).append(" >/dev/null 2>&1");
        created_user = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        if (created_user) {
            EXPECT_TRUE(remove_test_user(test_user_name(::getpid())));
        }
        created_user = false;
    }

    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "installing a set-user-id root program needs root";
        user = ::getpwnam(test_user_name(::getpid()).c_str());
        ASSERT_NE(user, nullptr) << "cannot create the user " << test_user_name(::getpid());
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
    static inline bool created_user = false;
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
