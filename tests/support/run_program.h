#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace mirva::testing {

/// What one run of a program left behind.
struct RunResult {
    int exit_status = -1;  // -1 when the process did not exit normally.
    int signal = 0;        // The signal that ended it, if any.
    std::string standard_output;
    std::string standard_error;
};

/// How to run a program: its time limit, its standard input, and a file size limit in bytes
/// (none when 0).
struct RunOptions {
    int timeout_seconds = 30;
    std::string input_path = "/dev/null";
    std::uint64_t file_size_limit = 0;
    int user = -1;  // Run as this user and group instead of the caller's (needs root).
    int group = -1;
    std::vector<std::string> environment{};  // "NAME=value" entries added to the program's.
    bool only_environment = false;           // The entries are the program's whole environment.
    std::string terminal{};    // A terminal the program opens first, its controlling terminal.
    int keep_descriptor = -1;  // A descriptor of the caller's the program keeps open.
};

/// Starts program with the arguments in directory, in a session of its own (without a
/// controlling terminal unless options.terminal names one), its standard input from
/// options.input_path and its standard output and error written into the files; returns its
/// process id without waiting.
int start_program(const std::string& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& directory, const std::filesystem::path& output,
                  const std::filesystem::path& error, const RunOptions& options = {});

/// Runs program with the arguments in directory; kills it when the time limit passes.
RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& directory, const RunOptions& options = {});

/// A fresh, empty temporary directory, removed with its contents on destruction.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// The processor time the running process has used so far, user and system, in milliseconds.
long processor_milliseconds(int process);

/// Every name in the folder, hidden ones included.
std::set<std::string> names_in(const std::filesystem::path& folder);

std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace mirva::testing
