#pragma once

// libspng's header gives only the types and the function signatures: the library is opened at
// run time when a PNG source is read, so no other job loads it and the program does not link it.
#include <spng.h>

namespace mirva::pictures {

/// The file name of the PNG library opened at run time.
inline constexpr const char* SPNG_LIBRARY_NAME = "libspng.so.0";

/// The libspng functions the PNG reader uses, found in the library at run time.
struct SpngLibrary {
    decltype(&spng_ctx_new) ctx_new = nullptr;
    decltype(&spng_ctx_free) ctx_free = nullptr;
    decltype(&spng_set_png_stream) set_png_stream = nullptr;
    decltype(&spng_set_chunk_limits) set_chunk_limits = nullptr;
    decltype(&spng_get_ihdr) get_ihdr = nullptr;
    decltype(&spng_get_plte) get_plte = nullptr;
    decltype(&spng_get_trns) get_trns = nullptr;
    decltype(&spng_decode_image) decode_image = nullptr;
    decltype(&spng_get_row_info) get_row_info = nullptr;
    decltype(&spng_decode_row) decode_row = nullptr;
};

/// Opens the library of that name and finds the functions; fails with "No se encuentra la
/// biblioteca %s" and the name when the library or one of them is missing.
SpngLibrary load_spng(const char* name);

/// Returns the functions of SPNG_LIBRARY_NAME, opening it on first use; fails as load_spng.
const SpngLibrary& spng_library();

}  // namespace mirva::pictures
