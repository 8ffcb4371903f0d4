#include "support/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace mirva::testing {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int start_program(const std::string& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& directory, const std::filesystem::path& output,
                  const std::filesystem::path& error, const RunOptions& options) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = options.environment;
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        // A session of its own, without a controlling terminal: a viewer never finds the
        // terminal the tests were started from. The first terminal a session leader opens
        // becomes its controlling terminal.
        ::setsid();
        if (!options.terminal.empty() && ::open(options.terminal.c_str(), O_RDWR) < 0)
            ::_exit(127);
        if (options.file_size_limit != 0) {
            struct rlimit limit {
                options.file_size_limit, options.file_size_limit
            };
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        int in = ::open(options.input_path.c_str(), O_RDONLY);
        int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        // The output files are open before the user changes, so they need no rights of its.
        if (options.group >= 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(options.group)) != 0))
            ::_exit(126);
        if (options.user >= 0 && ::setuid(static_cast<uid_t>(options.user)) != 0)
            ::_exit(126);
        if (in < 0 || out < 0 || err < 0 || ::chdir(directory.c_str()) != 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (options.keep_descriptor >= 0)
            ::fcntl(options.keep_descriptor, F_SETFD, 0);
        if (options.only_environment) {
            ::execve(program.c_str(), argv.data(), envp.data());
        } else {
            for (auto& variable : variables)
                ::putenv(variable.data());  // The child ends in execv, never returns.
            ::execv(program.c_str(), argv.data());
        }
        ::_exit(127);
    }
    return child;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& directory, const RunOptions& options) {
    TemporaryDirectory capture;
    auto out_path = capture / "stdout";
    auto err_path = capture / "stderr";
    auto child = static_cast<pid_t>(
        start_program(program, arguments, directory, out_path, err_path, options));

    RunResult result;
    int status = 0;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
    std::chrono::microseconds pause(50);
    while (true) {
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        // Short waits first: most runs end within a millisecond or two.
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.standard_output = slurp(out_path);
    result.standard_error = slurp(err_path);
    return result;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirva-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    // Restore write permission on directories a test may have locked, so removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

long processor_milliseconds(int process) {
    std::string text = slurp("/proc/" + std::to_string(process) + "/stat");
    // The fields after the command's closing parenthesis, from field 3 on; fields 14 and 15 are
    // the user and system time, in clock ticks.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number >= 14)
            ticks += std::stol(field);
    }
    return ticks * 1000 / ::sysconf(_SC_CLK_TCK);
}

std::set<std::string> names_in(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace mirva::testing
