#include <cstdint>

#include "base/failure.h"
#include "containers/archive.h"

// Every input is read as a zip file and as a gzip file, taking the first member whatever its
// name, so that the data of a member is always inflated.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    const containers::MemberFilter any = [](std::string_view) { return true; };
    for (auto* read : {containers::read_zip_member, containers::read_gzip_member}) {
        base::MemorySource source({data, size});
        try {
            (void)read(source, "fuzz.scr.gz", any);
        } catch (const base::Failure&) {
        }  // Rejection is fine; anything else escaping is a bug.
    }
    return 0;
}
