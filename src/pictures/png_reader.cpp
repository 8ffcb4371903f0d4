#include "pictures/png_reader.h"

#include <array>
#include <memory>
#include <vector>

#include "base/failure.h"
#include "pictures/spng_library.h"
#include "screen/area_scaler.h"

namespace mirva::pictures {

namespace {

inline constexpr std::array<std::uint8_t, 8> PNG_SIGNATURE{0x89, 'P',  'N',  'G',
                                                           0x0D, 0x0A, 0x1A, 0x0A};

// Ancillary chunks (text, profiles) are skipped, but each is held whole while it is read: no
// one of them may take more than this, nor all that are kept together.
inline constexpr std::size_t CHUNK_LIMIT = std::size_t{16} << 20;
inline constexpr std::size_t CHUNK_CACHE_LIMIT = std::size_t{64} << 20;

// Where each of the seven passes of an interlaced image starts in a row, and its step.
inline constexpr std::array<int, 7> ADAM7_X_FIRST{0, 4, 0, 2, 0, 1, 0};
inline constexpr std::array<int, 7> ADAM7_X_STEP{8, 8, 4, 4, 2, 2, 1};

// libspng reads the file through this, from the source's position.
int read_stream(spng_ctx* /*context*/, void* user, void* destination, std::size_t length) {
    auto& source = *static_cast<base::ByteSource*>(user);
    if (!source.read_all({static_cast<std::uint8_t*>(destination), length}))
        return SPNG_IO_EOF;
    return 0;
}

std::uint8_t over_black(std::uint8_t component, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((component * alpha + 127) / 255);
}

struct ContextDeleter {
    const SpngLibrary* spng;
    void operator()(spng_ctx* context) const { spng->ctx_free(context); }
};

// The first palette colour, composed over black by its transparency when it has one.
std::array<std::uint8_t, 3> first_palette_colour(const SpngLibrary& spng, spng_ctx* context) {
    spng_plte palette{};
    if (spng.get_plte(context, &palette) != 0 || palette.n_entries == 0)
        return {};
    std::uint8_t alpha = 255;
    spng_trns transparency{};
    if (spng.get_trns(context, &transparency) == 0 && transparency.n_type3_entries > 0)
        alpha = transparency.type3_alpha[0];
    const spng_plte_entry& entry = palette.entries[0];
    return {over_black(entry.red, alpha), over_black(entry.green, alpha),
            over_black(entry.blue, alpha)};
}

}  // namespace

screen::RgbPicture read_png_picture(base::ByteSource& source) {
    std::array<std::uint8_t, PNG_SIGNATURE.size()> signature{};
    if (!source.read_all(signature))
        base::error(base::MSG_READ_DATA);
    if (signature != PNG_SIGNATURE)
        base::error(base::MSG_NOT_PNG);
    if (!source.seek(0))
        base::error(base::MSG_READ_DATA);

    const SpngLibrary& spng = spng_library();
    std::unique_ptr<spng_ctx, ContextDeleter> context(spng.ctx_new(0), ContextDeleter{&spng});
    if (!context)
        base::error(base::MSG_NO_MEMORY);
    if (spng.set_png_stream(context.get(), read_stream, &source) != 0 ||
        spng.set_chunk_limits(context.get(), CHUNK_LIMIT, CHUNK_CACHE_LIMIT) != 0)
        base::error(base::MSG_READ_DATA);

    // The header alone decides whether the picture is decoded at all.
    spng_ihdr header{};
    if (spng.get_ihdr(context.get(), &header) != 0)
        base::error(base::MSG_READ_DATA);
    if (!screen::within_limit(header.width, header.height, screen::RESIZE_LIMIT))
        base::error(base::MSG_PICTURE_TOO_LARGE);
    const auto width = static_cast<int>(header.width);  // 1..16384: libspng refuses 0.
    const auto height = static_cast<int>(header.height);
    std::array<std::uint8_t, 3> margin{};
    if (header.color_type == SPNG_COLOR_TYPE_INDEXED)
        margin = first_palette_colour(spng, context.get());

    // Every colour type and depth comes as 8-bit RGB (16-bit samples reduced to 8 bits), or as
    // RGBA with tRNS transparency when there is any to compose, one row at a time.
    spng_trns transparency{};
    const bool has_alpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                           header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                           spng.get_trns(context.get(), &transparency) == 0;
    const int format = has_alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    if (spng.decode_image(context.get(), nullptr, 0, format,
                          SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0)
        base::error(base::MSG_READ_DATA);
    const auto row_pixels = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> rgb(3 * row_pixels);
    std::vector<std::uint8_t> rgba(has_alpha ? 4 * row_pixels : 0);
    screen::AreaScaler scaler(width, height, screen::fitted_size(width, height));
    const bool interlaced = header.interlace_method != 0;
    int status = 0;
    do {
        spng_row_info row{};
        if (spng.get_row_info(context.get(), &row) != 0)
            base::error(base::MSG_READ_DATA);
        status = has_alpha ? spng.decode_row(context.get(), rgba.data(), rgba.size())
                           : spng.decode_row(context.get(), rgb.data(), rgb.size());
        if (status != 0 && status != SPNG_EOI)
            base::error(base::MSG_READ_DATA);
        if (row.pass < 0 || row.pass > 6 || row.row_num >= header.height)
            base::error(base::MSG_READ_DATA);
        // A row of an interlaced image holds only its pass's pixels, at their places.
        const auto pass = static_cast<std::size_t>(row.pass);
        const int x_first = interlaced ? ADAM7_X_FIRST[pass] : 0;
        const int x_step = interlaced ? ADAM7_X_STEP[pass] : 1;
        if (has_alpha) {
            for (std::size_t x = static_cast<std::size_t>(x_first); x < row_pixels;
                 x += static_cast<std::size_t>(x_step)) {
                const std::uint8_t alpha = rgba[4 * x + 3];
                for (std::size_t c = 0; c < 3; ++c)
                    rgb[3 * x + c] = over_black(rgba[4 * x + c], alpha);
            }
        }
        scaler.add_row(static_cast<int>(row.row_num), rgb, x_first, x_step);
    } while (status != SPNG_EOI);
    return scaler.finish(margin);
}

}  // namespace mirva::pictures
