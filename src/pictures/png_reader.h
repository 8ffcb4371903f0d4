#pragma once

#include "base/byte_source.h"
#include "screen/rgb_picture.h"

namespace mirva::pictures {

/// Takes a PNG file of any colour type and bit depth, interlaced or not, of at most 16384 pixels
/// a side and 64 megapixels; returns its picture scaled down to fit in 256x192 (fitted_size),
/// 16-bit samples reduced to 8 and transparent pixels composed over black. The margin is black,
/// or the first palette colour of a file with a palette. Fails with "El fichero no es de tipo
/// PNG", "La imagen no es 256x192 8bpp o menor" (before decoding a larger picture), "Error
/// leyendo datos del fichero" or "No se encuentra la biblioteca libspng.so.0".
screen::RgbPicture read_png_picture(base::ByteSource& source);

}  // namespace mirva::pictures
