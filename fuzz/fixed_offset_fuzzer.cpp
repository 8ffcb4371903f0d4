#include <cstdint>

#include "cli/failure.h"
#include "containers/fixed_offset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    for (cli::FileKind kind : {cli::KIND_SCR, cli::KIND_SP, cli::KIND_SNA, cli::KIND_SIT}) {
        cli::MemorySource source({data, size});
        std::uint8_t border = 0;
        try {
            (void)containers::read_fixed_offset_screen(source, kind, "fuzz", border);
        } catch (const cli::Failure&) {
        }  // Rejection is fine; anything else escaping is a bug.
    }
    return 0;
}
