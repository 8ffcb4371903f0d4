#include "support/driver_run.h"

#include <new>

#include "base/failure.h"
#include "cli/driver.h"

namespace mirva::testing {

DriverResult run_driver(const std::vector<std::string>& arguments) {
    auto no_display = [](const screen::Options&) -> std::unique_ptr<display::Display> {
        base::error(base::MSG_NO_GRAPHICS);
    };
    try {
        return {cli::run(arguments, no_display), ""};
    } catch (const base::Failure& failure) {
        return {1, std::string(failure.what()) + "\n"};
    } catch (const std::bad_alloc&) {
        return {1, std::string(base::MSG_NO_MEMORY) + "\n"};
    }
}

}  // namespace mirva::testing
