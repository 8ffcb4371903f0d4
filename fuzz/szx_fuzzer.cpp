#include <cassert>
#include <cstdint>

#include "base/failure.h"
#include "containers/szx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    base::MemorySource source({data, size});
    std::uint8_t border = 0;
    try {
        (void)containers::read_szx_screen(source, "fuzz.szx", border);
        assert(border <= 7);
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
