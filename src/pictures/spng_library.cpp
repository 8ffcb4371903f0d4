#include "pictures/spng_library.h"

#include <type_traits>

#include "base/library.h"

namespace mirva::pictures {

SpngLibrary load_spng(const char* name) {
    // The library stays loaded until the process ends.
    const base::SharedLibrary library(name);
    auto resolve = [&library](const char* symbol_name, auto& function) {
        function = library.symbol<std::remove_reference_t<decltype(function)>>(symbol_name);
    };
    SpngLibrary spng;
    resolve("spng_ctx_new", spng.ctx_new);
    resolve("spng_ctx_free", spng.ctx_free);
    resolve("spng_set_png_stream", spng.set_png_stream);
    resolve("spng_set_chunk_limits", spng.set_chunk_limits);
    resolve("spng_get_ihdr", spng.get_ihdr);
    resolve("spng_get_plte", spng.get_plte);
    resolve("spng_get_trns", spng.get_trns);
    resolve("spng_decode_image", spng.decode_image);
    resolve("spng_get_row_info", spng.get_row_info);
    resolve("spng_decode_row", spng.decode_row);
    return spng;
}

const SpngLibrary& spng_library() {
    static const SpngLibrary spng = load_spng(SPNG_LIBRARY_NAME);
    return spng;
}

}  // namespace mirva::pictures
