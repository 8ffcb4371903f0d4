#include "pictures/png_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/byte_source.h"
#include "pictures/jpeg_reader.h"
#include "pictures/spng_library.h"
#include "pictures/turbojpeg_library.h"
#include "support/expect_failure.h"

namespace mirva::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc32(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

void append_u32be(Bytes& bytes, std::uint32_t value) {
    for (int shift : {24, 16, 8, 0})
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A chunk: length, type, data and the CRC of type and data.
void append_chunk(Bytes& file, const std::string& type, const Bytes& data) {
    append_u32be(file, static_cast<std::uint32_t>(data.size()));
    Bytes checked(type.begin(), type.end());
    checked.insert(checked.end(), data.begin(), data.end());
    file.insert(file.end(), checked.begin(), checked.end());
    append_u32be(file, crc32(checked));
}

// A PNG of 8-bit grey pixels (colour type 0) whose IDAT holds the bytes given.
Bytes png_bytes(std::uint32_t width, std::uint32_t height, const Bytes& image_data) {
    Bytes file{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    append_u32be(header, width);
    append_u32be(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0});
    append_chunk(file, "IHDR", header);
    append_chunk(file, "IDAT", image_data);
    append_chunk(file, "IEND", {});
    return file;
}

// A zlib stream of stored blocks: the data uncompressed, with its Adler-32.
Bytes stored_zlib(const Bytes& data) {
    Bytes stream{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(data.size() - at, 65535);
        const bool last = at + length == data.size();
        stream.insert(stream.end(), {static_cast<std::uint8_t>(last), std::uint8_t(length & 0xFF),
                                     std::uint8_t(length >> 8), std::uint8_t(~length & 0xFF),
                                     std::uint8_t((~length >> 8) & 0xFF)});
        stream.insert(stream.end(), data.begin() + std::ptrdiff_t(at),
                      data.begin() + std::ptrdiff_t(at + length));
        at += length;
    } while (at < data.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    append_u32be(stream, (b << 16) | a);
    return stream;
}

screen::RgbPicture read(const Bytes& bytes) {
    base::MemorySource source(bytes);
    return read_png_picture(source);
}

TEST(ReadPngPicture, ReadsGreyRowsMadeHere) {
    // Two rows of three pixels, each after its filter byte 0.
    const auto picture = read(png_bytes(3, 2, stored_zlib({0, 0, 128, 255, 0, 7, 8, 9})));
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.rgb,
              (Bytes{0, 0, 0, 128, 128, 128, 255, 255, 255, 7, 7, 7, 8, 8, 8, 9, 9, 9}));
}

TEST(ReadPngPicture, NamesEveryKindOfBadFile) {
    const Bytes good = png_bytes(3, 2, stored_zlib({0, 0, 128, 255, 0, 7, 8, 9}));
    struct Case {
        std::string what;
        Bytes bytes;
        std::string_view message;
    };
    Bytes flipped_signature = good;
    flipped_signature[1] = 'p';
    Bytes bad_crc = good;
    bad_crc[29] ^= 1;  // The IHDR's CRC.
    Bytes cut(good.begin(), good.begin() + 40);
    const std::vector<Case> cases{
        {"empty", {}, base::MSG_READ_DATA},
        {"seven bytes of signature", Bytes(good.begin(), good.begin() + 7), base::MSG_READ_DATA},
        {"a GIF", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, base::MSG_NOT_PNG},
        {"signature in lower case", flipped_signature, base::MSG_NOT_PNG},
        {"the signature alone", Bytes(good.begin(), good.begin() + 8), base::MSG_READ_DATA},
        {"header CRC wrong", bad_crc, base::MSG_READ_DATA},
        {"cut in the data", cut, base::MSG_READ_DATA},
        {"data not zlib", png_bytes(3, 2, {1, 2, 3, 4, 5, 6}), base::MSG_READ_DATA},
        {"too few rows", png_bytes(3, 2, stored_zlib({0, 1, 2, 3})), base::MSG_READ_DATA},
        {"width 0", png_bytes(0, 2, stored_zlib({0})), base::MSG_READ_DATA},
        {"16385 wide", png_bytes(16385, 1, {}), base::MSG_PICTURE_TOO_LARGE},
        {"16385 high", png_bytes(1, 16385, {}), base::MSG_PICTURE_TOO_LARGE},
        {"past 64 megapixels", png_bytes(16384, 4097, {}), base::MSG_PICTURE_TOO_LARGE},
        {"100000 square", png_bytes(100000, 100000, {}), base::MSG_PICTURE_TOO_LARGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FAILURE((void)read(c.bytes), c.message);
    }
}

TEST(ReadJpegPicture, NamesABadSignatureAndDamage) {
    struct Case {
        std::string what;
        Bytes bytes;
        std::string_view message;
    };
    const std::vector<Case> cases{
        {"empty", {}, base::MSG_READ_DATA},
        {"two bytes", {0xFF, 0xD8}, base::MSG_READ_DATA},
        {"a PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, base::MSG_NOT_JPEG},
        {"start of image, then no marker", {0xFF, 0xD8, 0x00, 0x00}, base::MSG_NOT_JPEG},
        {"start of image, then nothing", {0xFF, 0xD8, 0xFF, 0xD9}, base::MSG_READ_DATA},
        {"a frame header cut short",
         {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08},
         base::MSG_READ_DATA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        base::MemorySource source(c.bytes);
        EXPECT_FAILURE((void)read_jpeg_picture(source), c.message);
    }
}

TEST(JpegReduction, TakesTheLargestReductionThatStaysAtLeastTheSize) {
    EXPECT_EQ(jpeg_reduction(4000, 3000, {256, 192}), 8);  // 500x375.
    EXPECT_EQ(jpeg_reduction(2048, 1536, {256, 192}), 8);  // 256x192 exactly.
    EXPECT_EQ(jpeg_reduction(2041, 1536, {256, 192}), 8);  // 255.1 rounded up to 256.
    EXPECT_EQ(jpeg_reduction(2040, 1536, {256, 192}), 4);  // 255 at 1/8; 510x384 at 1/4.
    EXPECT_EQ(jpeg_reduction(600, 400, {256, 171}), 2);
    EXPECT_EQ(jpeg_reduction(300, 200, {256, 171}), 1);
    EXPECT_EQ(jpeg_reduction(200, 150, {200, 150}), 1);
}

TEST(PictureLibraries, AreNamedWhenMissingOrTooOld) {
    EXPECT_FAILURE(load_spng("libspng-missing.so.0"),
                   "No se encuentra la biblioteca libspng-missing.so.0");
    EXPECT_FAILURE(load_turbojpeg("libturbojpeg-missing.so.0"),
                   "No se encuentra la biblioteca libturbojpeg-missing.so.0");
    // A library without the functions counts as missing.
    EXPECT_FAILURE(load_spng("libc.so.6"), "No se encuentra la biblioteca libc.so.6");
    EXPECT_FAILURE(load_turbojpeg("libc.so.6"), "No se encuentra la biblioteca libc.so.6");
}

}  // namespace
}  // namespace mirva::pictures
