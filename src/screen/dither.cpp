#include "screen/dither.h"

#include "base/failure.h"
#include "screen/rgb_fit.h"

namespace mirva::screen {

ScreenImage dither_to_screen(const RgbPicture& picture_256x192, Dither mode) {
    switch (mode) {
        case Dither::none:
            return rgb_picture_to_screen(picture_256x192, Options{});
        case Dither::floyd:
        case Dither::atkinson:
        case Dither::ordered:
            break;
    }
    // FIXME: error diffusion (floyd, atkinson) and the ordered dither are not written yet.
    base::error(base::MSG_UNSUPPORTED_FEATURE);
}

}  // namespace mirva::screen
