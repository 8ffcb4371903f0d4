#include "cli/usage.h"

#include "base/failure.h"

namespace mirva::cli {

void usage() {
    base::fatal(USAGE_BANNER, PROGRAM_VERSION);
}

}  // namespace mirva::cli
