#pragma once

// TurboJPEG's header gives only the types and the function signatures: the library is opened at
// run time when a JPEG source is read, so no other job loads it and the program does not link
// it.
#include <turbojpeg.h>

namespace mirva::pictures {

/// The file name of the JPEG library opened at run time.
inline constexpr const char* TURBOJPEG_LIBRARY_NAME = "libturbojpeg.so.0";

/// The TurboJPEG functions the JPEG reader uses, found in the library at run time.
struct TurboJpegLibrary {
    decltype(&tjInitDecompress) init_decompress = nullptr;
    decltype(&tjDestroy) destroy = nullptr;
    decltype(&tjDecompressHeader3) decompress_header = nullptr;
    decltype(&tjDecompress2) decompress = nullptr;
    decltype(&tjGetErrorCode) error_code = nullptr;
};

/// Opens the library of that name and finds the functions; fails with "No se encuentra la
/// biblioteca %s" and the name when the library or one of them is missing.
TurboJpegLibrary load_turbojpeg(const char* name);

/// Returns the functions of TURBOJPEG_LIBRARY_NAME, opening it on first use; fails as
/// load_turbojpeg.
const TurboJpegLibrary& turbojpeg_library();

}  // namespace mirva::pictures
