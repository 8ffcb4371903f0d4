// Times whole processes: runs each command in turn, alternating, so that the machine's drift
// falls on all of them alike, and prints the median wall-clock time of each and its ratio to the
// first. "{out}" in a command's word stands for a fresh path, removed after each run, so that
// "{out}.gif" names a new GIF file every time.
//
//   process_timer RUNS NAME -- command words ; NAME -- command words ; ...
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
    std::string name;
    std::vector<std::string> words;
    std::vector<double> milliseconds;
};

double run_once(const Command& command, const std::string& out_path) {
    std::vector<std::string> words = command.words;
    for (auto& word : words) {
        auto marker = word.find("{out}");
        if (marker != std::string::npos)
            word.replace(marker, 5, out_path);
    }
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    auto stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command.name.c_str());
        std::exit(1);
    }
    for (const auto& word : command.words) {
        auto marker = word.find("{out}");
        if (marker != std::string::npos)
            unlink((word.substr(0, marker) + out_path + word.substr(marker + 5)).c_str());
    }
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    auto middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: process_timer RUNS NAME -- WORDS ; NAME -- WORDS ...\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    std::vector<Command> commands;
    for (int index = 2; index < argc;) {
        Command command{argv[index], {}, {}};
        index += 2;  // The name and its "--".
        while (index < argc && std::string(argv[index]) != ";")
            command.words.emplace_back(argv[index++]);
        ++index;
        commands.push_back(command);
    }
    std::string out_path = "/tmp/process-timer-" + std::to_string(getpid());
    for (auto& command : commands)
        (void)run_once(command, out_path);  // Warm the caches.
    for (int run = 0; run < runs; ++run) {
        for (auto& command : commands)
            command.milliseconds.push_back(run_once(command, out_path));
    }
    double base = median(commands.front().milliseconds);
    std::printf("| %-28s | %10s | %8s |\n", "command", "median ms", "ratio");
    std::printf("|%s|%s|%s|\n", std::string(30, '-').c_str(), std::string(12, '-').c_str(),
                std::string(10, '-').c_str());
    for (const auto& command : commands) {
        double value = median(command.milliseconds);
        std::printf("| %-28s | %10.3f | %7.2fx |\n", command.name.c_str(), value, value / base);
    }
    return 0;
}
