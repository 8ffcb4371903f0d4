#pragma once

#include <cstdint>

#include "base/byte_source.h"
#include "screen/rgb_picture.h"

namespace mirva::pictures {

/// The largest JPEG file read: the whole file is held in memory while it is decoded.
inline constexpr std::uint64_t MAX_JPEG_BYTES = std::uint64_t{256} << 20;

/// Takes a JPEG file, baseline or progressive, greyscale or colour, of at most 16384 pixels a
/// side and 64 megapixels; returns its picture scaled down to fit in 256x192 (fitted_size), with
/// a black margin. Fails with "El fichero no es de tipo JPEG", "La imagen no es 256x192 8bpp o
/// menor" (a larger picture, before decoding it, or a file over MAX_JPEG_BYTES), "La imagen
/// tiene caracteristicas no soportadas por el programa" (CMYK), "Error leyendo datos del
/// fichero" or "No se encuentra la biblioteca libturbojpeg.so.0".
screen::RgbPicture read_jpeg_picture(base::ByteSource& source);

/// Takes a picture's size and the size it is to be scaled to (no larger); returns the
/// denominator 1, 2, 4 or 8 of the largest reduction the decoder can make that keeps both sides
/// at least that size (a reduced side is rounded up).
int jpeg_reduction(int width, int height, screen::PictureSize size);

}  // namespace mirva::pictures
