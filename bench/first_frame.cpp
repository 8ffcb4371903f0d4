// The terminal viewer's start: the time from starting mirva --terminal on a pseudo-terminal to
// the last byte of its first frame, against the floor program's whole run, in alternating runs.
// Usage: first_frame RUNS COLUMNSxROWS FLOOR SCREEN.scr MIRVA SOURCE TERM...
// Each TERM (with COLORTERM=truecolor when it ends in "+truecolour") is one way of drawing.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The processor time a child used, user and system, in milliseconds.
double processor_milliseconds(const rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A run's wall-clock time to what it is measured by, and its whole processor time.
struct Timing {
    double wall = 0;
    double processor = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The floor program's whole run, from fork to its exit.
Timing floor_run(const char* floor, const char* screen, const std::string& out) {
    auto start = Clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        ::execl(floor, floor, screen, out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    rusage usage{};
    ::wait4(child, nullptr, 0, &usage);
    double elapsed = milliseconds(Clock::now() - start);
    ::unlink(out.c_str());
    return {elapsed, processor_milliseconds(usage)};
}

// From fork to the last byte the viewer writes before 200 ms of quiet: its first frame, as the
// next comes half a second later. Then a key ends it.
Timing first_frame(const char* mirva, const char* source, const std::string& term, winsize size) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master);
    ::unlockpt(master);
    std::string slave = ::ptsname(master);
    ::ioctl(master, TIOCSWINSZ, &size);
    bool truecolour = term.ends_with("+truecolour");
    std::string term_variable = "TERM=";
    term_variable += term.substr(0, term.find('+'));
    auto start = Clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        int terminal = ::open(slave.c_str(), O_RDWR);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(terminal, 2);
        const char* envp[] = {"PATH=/usr/bin:/bin", term_variable.c_str(),
                              truecolour ? "COLORTERM=truecolor" : nullptr, nullptr};
        ::execle(mirva, mirva, "--terminal", source, static_cast<char*>(nullptr), envp);
        ::_exit(127);
    }
    Clock::time_point last = start;
    char bytes[65536];
    pollfd ready{master, POLLIN, 0};
    while (::poll(&ready, 1, 200) == 1) {
        if (::read(master, bytes, sizeof bytes) <= 0)
            break;
        last = Clock::now();
    }
    (void)!::write(master, "x", 1);
    while (::poll(&ready, 1, 2000) == 1 && ::read(master, bytes, sizeof bytes) > 0) {
    }
    rusage usage{};
    ::wait4(child, nullptr, 0, &usage);
    ::close(master);
    return {milliseconds(last - start), processor_milliseconds(usage)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8)
        return 2;
    int runs = std::atoi(argv[1]);
    winsize size{};
    if (std::sscanf(argv[2], "%hux%hu", &size.ws_col, &size.ws_row) != 2)
        return 2;
    argv += 1;
    argc -= 1;
    std::vector<std::string> terms(argv + 6, argv + argc);
    // Per command: wall-clock times, then processor times.
    std::vector<std::vector<double>> wall(terms.size() + 1);
    std::vector<std::vector<double>> processor(terms.size() + 1);
    for (int run = 0; run < runs; ++run) {
        for (std::size_t index = 0; index <= terms.size(); ++index) {
            Timing timing = index == 0 ? floor_run(argv[2], argv[3], "floor-out.scr")
                                       : first_frame(argv[4], argv[5], terms[index - 1], size);
            wall[index].push_back(timing.wall);
            processor[index].push_back(timing.processor);
        }
    }
    std::printf("| %-44s | %9s | %7s | %10s | %7s |\n", "run", "median ms", "ratio", "processor",
                "ratio");
    std::printf("|%s|-----------|---------|------------|---------|\n",
                std::string(46, '-').c_str());
    double floor_wall = median(wall[0]);
    double floor_processor = median(processor[0]);
    for (std::size_t index = 0; index <= terms.size(); ++index) {
        std::string name =
            index == 0 ? "floor (stdio copy), whole run" : "first frame, TERM=" + terms[index - 1];
        double value = median(wall[index]);
        double used = median(processor[index]);
        std::printf("| %-44s | %9.3f | %6.1fx | %10.3f | %6.1fx |\n", name.c_str(), value,
                    value / floor_wall, used, used / floor_processor);
    }
    return 0;
}
