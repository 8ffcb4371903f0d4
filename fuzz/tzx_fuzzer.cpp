#include <cstdint>

#include "base/failure.h"
#include "containers/tzx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    base::MemorySource source({data, size});
    try {
        std::uint8_t border_colour = 0;
        (void)containers::read_tzx_screen(source, "fuzz", border_colour);
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
