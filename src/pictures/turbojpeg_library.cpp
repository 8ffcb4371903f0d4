#include "pictures/turbojpeg_library.h"

#include <type_traits>

#include "base/library.h"

namespace mirva::pictures {

TurboJpegLibrary load_turbojpeg(const char* name) {
    // The library stays loaded until the process ends.
    const base::SharedLibrary library(name);
    auto resolve = [&library](const char* symbol_name, auto& function) {
        function = library.symbol<std::remove_reference_t<decltype(function)>>(symbol_name);
    };
    TurboJpegLibrary turbojpeg;
    resolve("tjInitDecompress", turbojpeg.init_decompress);
    resolve("tjDestroy", turbojpeg.destroy);
    resolve("tjDecompressHeader3", turbojpeg.decompress_header);
    resolve("tjDecompress2", turbojpeg.decompress);
    resolve("tjGetErrorCode", turbojpeg.error_code);
    return turbojpeg;
}

const TurboJpegLibrary& turbojpeg_library() {
    static const TurboJpegLibrary turbojpeg = load_turbojpeg(TURBOJPEG_LIBRARY_NAME);
    return turbojpeg;
}

}  // namespace mirva::pictures
