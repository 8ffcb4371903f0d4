#include <cstdint>

#include "base/byte_source.h"
#include "base/failure.h"
#include "pictures/png_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    base::MemorySource source({data, size});
    try {
        (void)pictures::read_png_picture(source);
    } catch (const base::Failure&) {
    }  // Rejection is fine; anything else escaping is a bug.
    return 0;
}
