#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "base/failure.h"
#include "cli/driver.h"
#include "cli/viewer_choice.h"

int main(int argc, char** argv) {
    // A write past a file size limit must fail and be reported, not end the process silently.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    try {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
            arguments.emplace_back(argv[index]);
        return mirva::cli::run(arguments, mirva::cli::open_display);
    } catch (const mirva::base::Failure& failure) {
        (void)std::fprintf(stderr, "%s\n", failure.what());
    } catch (const std::bad_alloc&) {
        (void)std::fprintf(stderr, "%s\n", mirva::base::MSG_NO_MEMORY.data());
    }
    return 1;
}
