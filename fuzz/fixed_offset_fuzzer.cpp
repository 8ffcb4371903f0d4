#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/failure.h"
#include "containers/fixed_offset.h"
#include "containers/sna.h"

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
    // The SNA reader on the input as it is, and zero-extended to both 128K sizes, so that the
    // paging byte and the banks come from the input without a 128 KB seed.
    std::vector<std::uint8_t> file(data, data + size);
    for (std::uint64_t length :
         {std::uint64_t{size}, containers::SNA_128K_BYTES, containers::SNA_128K_LONG_BYTES}) {
        if (length < size)
            continue;
        file.resize(length, 0);
        base::MemorySource source(file);
        std::uint8_t border = 0;
        try {
            (void)containers::read_sna_screen(source, "fuzz.sna", border);
        } catch (const base::Failure&) {
        }
    }
    return 0;
}
