#include <cstdint>

#include "base/failure.h"
#include "containers/pzx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    base::MemorySource source({data, size});
    try {
        (void)containers::read_pzx_screen(source, "fuzz");
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
