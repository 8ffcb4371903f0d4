#include "pictures/jpeg_reader.h"

#include <array>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "base/failure.h"
#include "pictures/turbojpeg_library.h"
#include "screen/area_scaler.h"

namespace mirva::pictures {

namespace {

// Start of image, then the first marker's 0xFF.
inline constexpr std::array<std::uint8_t, 3> JPEG_SIGNATURE{0xFF, 0xD8, 0xFF};

int reduced(int side, int denominator) {
    return (side + denominator - 1) / denominator;  // As the decoder rounds: up.
}

struct HandleDeleter {
    const TurboJpegLibrary* turbojpeg;
    void operator()(void* handle) const { turbojpeg->destroy(handle); }
};

}  // namespace

int jpeg_reduction(int width, int height, screen::PictureSize size) {
    for (int denominator : {8, 4, 2}) {
        if (reduced(width, denominator) >= size.width &&
            reduced(height, denominator) >= size.height)
            return denominator;
    }
    return 1;
}

screen::RgbPicture read_jpeg_picture(base::ByteSource& source) {
    const auto file_size = source.size();
    if (!file_size)
        base::error(base::MSG_READ_DATA);
    std::array<std::uint8_t, JPEG_SIGNATURE.size()> signature{};
    if (!source.read_all(signature))
        base::error(base::MSG_READ_DATA);
    if (signature != JPEG_SIGNATURE)
        base::error(base::MSG_NOT_JPEG);
    if (*file_size > MAX_JPEG_BYTES)
        base::error(base::MSG_PICTURE_TOO_LARGE);
    static_assert(MAX_JPEG_BYTES <= std::numeric_limits<unsigned long>::max());
    std::vector<std::uint8_t> file(static_cast<std::size_t>(*file_size));
    if (!source.seek(0) || !source.read_all(file))
        base::error(base::MSG_READ_DATA);

    const TurboJpegLibrary& turbojpeg = turbojpeg_library();
    std::unique_ptr<void, HandleDeleter> handle(turbojpeg.init_decompress(),
                                                HandleDeleter{&turbojpeg});
    if (!handle)
        base::error(base::MSG_NO_MEMORY);

    // The header alone decides whether the picture is decoded at all.
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colour_space = 0;
    if (turbojpeg.decompress_header(handle.get(), file.data(), file.size(), &width, &height,
                                    &subsampling, &colour_space) != 0)
        base::error(base::MSG_READ_DATA);
    if (colour_space == TJCS_CMYK || colour_space == TJCS_YCCK)
        base::error(base::MSG_UNSUPPORTED_FEATURE);
    if (width < 1 || height < 1)
        base::error(base::MSG_READ_DATA);
    if (!screen::within_limit(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                              screen::RESIZE_LIMIT))
        base::error(base::MSG_PICTURE_TOO_LARGE);

    // The decoder's own reduction does most of the scaling, in its inverse transform; the area
    // average does the rest.
    const screen::PictureSize size = screen::fitted_size(width, height);
    const int denominator = jpeg_reduction(width, height, size);
    const int decoded_width = reduced(width, denominator);
    const int decoded_height = reduced(height, denominator);
    const std::size_t row_bytes = 3 * static_cast<std::size_t>(decoded_width);
    std::vector<std::uint8_t> pixels(row_bytes * static_cast<std::size_t>(decoded_height));
    // A progressive file of more than 500 scans is refused, as no encoder makes one: each scan
    // costs a pass over the whole picture. A warning (data that end early or hold stray bytes)
    // leaves a whole picture, the missing part grey, and is accepted as most viewers do.
    if (turbojpeg.decompress(handle.get(), file.data(), file.size(), pixels.data(), decoded_width,
                             static_cast<int>(row_bytes), decoded_height, TJPF_RGB,
                             TJFLAG_LIMITSCANS) != 0 &&
        turbojpeg.error_code(handle.get()) != TJERR_WARNING)
        base::error(base::MSG_READ_DATA);

    screen::AreaScaler scaler(decoded_width, decoded_height, size);
    for (int y = 0; y < decoded_height; ++y) {
        scaler.add_row(y, std::span<const std::uint8_t>(pixels).subspan(
                              static_cast<std::size_t>(y) * row_bytes, row_bytes));
    }
    return scaler.finish({});
}

}  // namespace mirva::pictures
