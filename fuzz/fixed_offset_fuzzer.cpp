#include <cstdint>

#include "base/failure.h"
#include "containers/fixed_offset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    for (const auto& layout : {containers::SCR_LAYOUT, containers::SP_LAYOUT,
                               containers::SNA_LAYOUT, containers::SIT_LAYOUT}) {
        base::MemorySource source({data, size});
        std::uint8_t border = 0;
        try {
            (void)containers::read_fixed_offset_screen(source, layout, "fuzz", border);
        } catch (const base::Failure&) {
        }  // Rejection is fine; anything else escaping is a bug.
    }
    return 0;
}
