#include <cstdint>

#include "base/failure.h"
#include "containers/archive.h"

// Every input is read as a zip file and as a gzip file, taking the first member whatever its
// name, so that the data of a member is always inflated.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mirva;
    static const containers::LibarchiveLibrary library = containers::load_libarchive();
    for (auto format : {containers::ArchiveFormat::zip, containers::ArchiveFormat::gzip}) {
        base::MemorySource source({data, size});
        try {
            (void)containers::read_archive_member(library, source, format, "fuzz.scr.gz",
                                                  [](std::string_view) { return true; });
        } catch (const base::Failure&) {
        }  // Rejection is fine; anything else escaping is a bug.
    }
    return 0;
}
