#pragma once

#include <string>

// libarchive's headers give only the types and the function signatures: the library is opened
// with dlopen when an archive is read, so no other job loads it and the program does not link it.
#if MIRVA_WITH_LIBARCHIVE
#include <archive.h>
#include <archive_entry.h>
#endif

namespace mirva::containers {

/// The file name of the libarchive the program opens.
inline constexpr const char* LIBARCHIVE_NAME = "libarchive.so.13";

#if MIRVA_WITH_LIBARCHIVE

// The libarchive functions the archive reader uses, found in the library at run time.
struct LibarchiveLibrary {
    decltype(&archive_read_new) read_new = nullptr;
    decltype(&archive_read_free) read_free = nullptr;
    decltype(&archive_read_support_format_zip_seekable) support_format_zip_seekable = nullptr;
    decltype(&archive_read_support_format_raw) support_format_raw = nullptr;
    decltype(&archive_read_support_filter_gzip) support_filter_gzip = nullptr;
    decltype(&archive_read_set_callback_data) set_callback_data = nullptr;
    decltype(&archive_read_set_read_callback) set_read_callback = nullptr;
    decltype(&archive_read_set_seek_callback) set_seek_callback = nullptr;
    decltype(&archive_read_open1) open = nullptr;
    decltype(&archive_read_next_header) next_header = nullptr;
    decltype(&archive_read_data) read_data = nullptr;
    decltype(&archive_filter_code) filter_code = nullptr;
    decltype(&archive_entry_pathname) entry_pathname = nullptr;
    decltype(&archive_entry_filetype) entry_filetype = nullptr;
};

#else

struct LibarchiveLibrary {};

#endif

/// Opens the libarchive of that file name and finds the functions the archive reader uses;
/// fails with "No se encuentra la biblioteca %s" and the name when the library or a function is
/// missing (always, in a build without libarchive's headers).
LibarchiveLibrary load_libarchive(const std::string& name = LIBARCHIVE_NAME);

}  // namespace mirva::containers
