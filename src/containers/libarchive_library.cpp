#include "containers/libarchive_library.h"

#include "base/failure.h"
#include "base/library.h"

namespace mirva::containers {

#if MIRVA_WITH_LIBARCHIVE

namespace {

template <typename Function>
void resolve(const base::SharedLibrary& library, const char* name, Function*& function) {
    function = library.symbol<Function*>(name);
}

}  // namespace

LibarchiveLibrary load_libarchive(const std::string& name) {
    // The library stays loaded until the process ends.
    base::SharedLibrary library(name);
    LibarchiveLibrary functions;
    resolve(library, "archive_read_new", functions.read_new);
    resolve(library, "archive_read_free", functions.read_free);
    resolve(library, "archive_read_support_format_zip_seekable",
            functions.support_format_zip_seekable);
    resolve(library, "archive_read_support_format_raw", functions.support_format_raw);
    resolve(library, "archive_read_support_filter_gzip", functions.support_filter_gzip);
    resolve(library, "archive_read_set_callback_data", functions.set_callback_data);
    resolve(library, "archive_read_set_read_callback", functions.set_read_callback);
    resolve(library, "archive_read_set_seek_callback", functions.set_seek_callback);
    resolve(library, "archive_read_open1", functions.open);
    resolve(library, "archive_read_next_header", functions.next_header);
    resolve(library, "archive_read_data", functions.read_data);
    resolve(library, "archive_filter_code", functions.filter_code);
    resolve(library, "archive_entry_pathname", functions.entry_pathname);
    resolve(library, "archive_entry_filetype", functions.entry_filetype);
    return functions;
}

#else

LibarchiveLibrary load_libarchive(const std::string& name) {
    base::fatal(base::MSG_LIBRARY_MISSING, name);
}

#endif

}  // namespace mirva::containers
