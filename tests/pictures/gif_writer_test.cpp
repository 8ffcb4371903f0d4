#include "pictures/gif_writer.h"

#include <gtest/gtest.h>

#include <memory>

#include "pictures/lzw.h"
#include "screen/render.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The code stream of a written file: the data sub-blocks joined. Checks the block structure.
Bytes code_stream(const Bytes& file) {
    Bytes stream;
    std::size_t at = GIF_HEADER_BYTES;
    while (at < file.size() && file[at] != 0) {
        std::size_t length = file[at];
        EXPECT_LE(at + 1 + length, file.size());
        if (at + 1 + length > file.size())
            break;
        stream.insert(stream.end(), file.begin() + static_cast<long>(at + 1),
                      file.begin() + static_cast<long>(at + 1 + length));
        at += 1 + length;
    }
    EXPECT_EQ(at, file.size() - 2) << "the zero length byte comes before the trailer";
    EXPECT_EQ(file.back(), 0x3B);
    return stream;
}

struct TracedCode {
    int code;
    int width;
};

// Reads the codes of a stream of 4-bit roots with their widths, as a decoder sees them.
std::vector<TracedCode> trace_codes(const Bytes& stream) {
    std::vector<TracedCode> codes;
    std::size_t bit = 0;
    int size = 5;
    int next = 18;
    bool have_old = false;
    while (bit + static_cast<std::size_t>(size) <= stream.size() * 8) {
        int code = 0;
        for (int k = 0; k < size; ++k, ++bit)
            code |= ((stream[bit / 8] >> (bit % 8)) & 1) << k;
        codes.push_back({code, size});
        if (code == 16) {
            size = 5;
            next = 18;
            have_old = false;
            continue;
        }
        if (code == 17)
            break;
        if (have_old && next < 4096 && ++next == (1 << size) && size < 12)
            ++size;
        have_old = true;
    }
    return codes;
}

Bytes decode_written(const Bytes& file) {
    auto table = std::make_unique<LzwTable>();
    Bytes pixels(64000);
    pixels.resize(decode_lzw(code_stream(file), 4, *table, pixels));
    return pixels;
}

Bytes rendered_pixels(const screen::ScreenImage& screen, bool bw = false, bool inverse = false) {
    auto picture = screen::render_screen(screen, bw, inverse, false);
    return {picture.pixels.begin(), picture.pixels.begin() + 49152};
}

// Pixels 0..15 from a xorshift generator; run_bits > 0 repeats each value up to 2^run_bits times.
Bytes random_pixels(std::uint32_t seed, int colours, int run_bits = 0) {
    Bytes pixels(49152);
    std::uint32_t state = seed;
    auto random = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (std::size_t i = 0; i < pixels.size();) {
        std::uint32_t value = random();
        std::size_t run = run_bits ? 1 + (value >> 8) % (1u << run_bits) : 1;
        for (; run > 0 && i < pixels.size(); --run)
            pixels[i++] = static_cast<std::uint8_t>(value % static_cast<std::uint32_t>(colours));
    }
    return pixels;
}

TEST(EncodeGif, AllZeroScreenGivesThe380ByteFile) {
    auto file = write_gif_screen(screen::ScreenImage{}, 0, {}, {});
    ASSERT_EQ(file.size(), 380u);
    const Bytes start{'G', 'I', 'F', '8', '7', 'a', 0x00, 0x01, 0xC0, 0x00, 0xB3, 0x00, 0x00};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 13), start);
    const Bytes descriptor{0x2C, 0, 0, 0, 0, 0x00, 0x01, 0xC0, 0x00, 0x03, 0x04};
    EXPECT_EQ(Bytes(file.begin() + 61, file.begin() + 72), descriptor);
    EXPECT_EQ(file[72], 0xFF);
    EXPECT_EQ(file[72 + 256], 0x31);  // The last sub-block: 49 bytes.
    EXPECT_EQ(file[378], 0x00);
    EXPECT_EQ(file[379], 0x3B);  // The trailer.
    const Bytes stream_start{0x10, 0xC8, 0x49, 0xAB, 0xBD, 0x38,
                             0xEB, 0xCD, 0xBB, 0xFF, 0x60, 0x28};
    EXPECT_EQ(Bytes(file.begin() + 73, file.begin() + 85), stream_start);
    EXPECT_EQ(decode_written(file), Bytes(49152, 0));
}

TEST(EncodeGif, ColourTableHoldsTheSpectrumColoursShiftedLeft) {
    const Bytes table{0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0xC8, 0x00, 0x00, 0xC8, 0x00, 0xC8,
                      0x00, 0xC8, 0x00, 0x00, 0xC8, 0xC8, 0xC8, 0xC8, 0x00, 0xC8, 0xC8, 0xC8,
                      0x00, 0x00, 0x00, 0x00, 0x00, 0xFC, 0xFC, 0x00, 0x00, 0xFC, 0x00, 0xFC,
                      0x00, 0xFC, 0x00, 0x00, 0xFC, 0xFC, 0xFC, 0xFC, 0x00, 0xFC, 0xFC, 0xFC};
    auto file =
        write_gif_screen(testing::make_random_screen(3), 0, {.bw = true, .inverse = true}, {});
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 61), table);
    EXPECT_EQ(file[73] & 0x1F, 0x10);  // The clear code 16 in 5 bits comes first.
    EXPECT_EQ(file.back(), 0x3B);      // The trailer.
}

TEST(EncodeGif, SubBlocksAreFullExceptTheLast) {
    // Streams of exactly two and of two blocks and one byte: pixels that vary for k pixels,
    // then stay 0, lengthen the stream a few bits at a time.
    for (std::size_t wanted : {510u, 511u}) {
        bool found = false;
        for (std::size_t k = 0; k < 4000 && !found; ++k) {
            Bytes pixels(49152, 0);
            for (std::size_t i = 0; i < k; ++i)
                pixels[i] = static_cast<std::uint8_t>((i * 7 + i / 16) % 16);
            auto file = encode_gif(pixels);
            auto stream = code_stream(file);
            if (stream.size() != wanted)
                continue;
            found = true;
            std::size_t expected_length = wanted == 510 ? 72 + 512 + 2 : 72 + 512 + 2 + 2;
            EXPECT_EQ(file.size(), expected_length);
            EXPECT_EQ(file[72], 0xFF);
            EXPECT_EQ(file[72 + 256], 0xFF);
            if (wanted == 511) {
                EXPECT_EQ(file[72 + 512], 0x01);
            }
            EXPECT_EQ(decode_written(file), pixels);
        }
        EXPECT_TRUE(found) << "no stream of " << wanted << " bytes";
    }
}

TEST(EncodeGif, FullTableIsFollowedByAClearCodeIn12Bits) {
    auto pixels = random_pixels(12345, 16);
    auto file = encode_gif(pixels);
    auto codes = trace_codes(code_stream(file));
    int resets = 0;
    for (std::size_t i = 1; i < codes.size(); ++i) {
        if (codes[i].code != 16)
            continue;
        ++resets;
        EXPECT_EQ(codes[i].width, 12);
        EXPECT_EQ(codes[i - 1].width, 12);
        ASSERT_LT(i + 1, codes.size());
        EXPECT_EQ(codes[i + 1].width, 5);
    }
    EXPECT_GE(resets, 3);
    EXPECT_EQ(codes.front().code, 16);
    EXPECT_EQ(codes.back().code, 17);
    EXPECT_EQ(decode_written(file), pixels);
}

TEST(EncodeGif, DirectIndexWritesTheBytesOfThePlainScan) {
    std::vector<Bytes> inputs;
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        auto screen = testing::make_random_screen(seed);
        inputs.push_back(rendered_pixels(screen));
        inputs.push_back(rendered_pixels(screen, seed % 2 == 0, seed % 3 == 0));
    }
    auto card = testing::make_test_card();
    inputs.push_back(rendered_pixels(card));
    inputs.push_back(rendered_pixels(card, true, false));
    inputs.push_back(rendered_pixels(card, false, true));
    inputs.push_back(Bytes(49152, 0));
    inputs.push_back(Bytes(49152, 15));
    // Structured: stripes, a gradient, a checkerboard and random runs, several of them long
    // enough to fill the table more than once.
    Bytes stripes(49152), gradient(49152), checker(49152);
    for (std::size_t i = 0; i < 49152; ++i) {
        stripes[i] = static_cast<std::uint8_t>((i / 3) % 16);
        gradient[i] = static_cast<std::uint8_t>(((i % 256) + (i / 256)) / 28);
        checker[i] = static_cast<std::uint8_t>((((i % 256) / 8 + (i / 2048)) % 2) * 9);
    }
    inputs.insert(inputs.end(), {stripes, gradient, checker});
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        inputs.push_back(random_pixels(seed, 16));
        inputs.push_back(random_pixels(seed * 77, 2 + static_cast<int>(seed) * 3, 2));
    }
    int with_resets = 0;
    for (std::size_t n = 0; n < inputs.size(); ++n) {
        auto direct = encode_gif(inputs[n]);
        EXPECT_EQ(direct, encode_gif_by_scan(inputs[n])) << "input " << n;
        EXPECT_EQ(decode_written(direct), inputs[n]) << "input " << n;
        auto codes = trace_codes(code_stream(direct));
        std::size_t clears = 0;
        for (const auto& traced : codes)
            clears += traced.code == 16;
        with_resets += clears >= 3;
    }
    EXPECT_GE(with_resets, 6);  // Inputs that filled the table at least twice.
}

TEST(EncodeGif, StreamsLongerThanAnyScreenGivesFitTheCodeBuffer) {
    // Random screens encode to about 20,000 bytes; noise over all 16 colours, which no screen
    // can hold, to about 30,000.
    for (std::uint32_t seed : {99u, 100u, 101u}) {
        auto pixels = random_pixels(seed, 16);
        auto file = encode_gif(pixels);
        EXPECT_GT(file.size(), 29000u);
        EXPECT_EQ(decode_written(file), pixels);
    }
}

// A screen is written row by row as it is rendered; the file is that of its whole picture.
TEST(WriteGifScreen, WritesTheFileOfTheRenderedPicture) {
    for (const auto& screen :
         {testing::make_test_card(), testing::make_random_screen(5), screen::ScreenImage{}}) {
        for (int options = 0; options < 4; ++options) {
            const bool bw = options & 1;
            const bool inverse = options & 2;
            EXPECT_EQ(write_gif_screen(screen, 0, {.bw = bw, .inverse = inverse}, {}),
                      encode_gif(rendered_pixels(screen, bw, inverse)))
                << options;
        }
    }
}

// A pixel outside the 16 colours would index past the dictionary's rows; it is refused on entry
// in every build, as is a buffer that is not one screen.
TEST(EncodeGif, RefusesPixelsOutOfRange) {
    auto pixels = random_pixels(7, 16);
    for (std::uint8_t bad : {16, 17, 200, 255}) {
        for (std::size_t at : {0ul, 1ul, 30000ul, 49151ul}) {
            auto wrong = pixels;
            wrong[at] = bad;
            EXPECT_FAILURE(encode_gif(wrong), base::MSG_INTERNAL);
            EXPECT_FAILURE(encode_gif_by_scan(wrong), base::MSG_INTERNAL);
        }
    }
    EXPECT_FAILURE(encode_gif(Bytes(49151, 0)), base::MSG_INTERNAL);
    EXPECT_FAILURE(encode_gif(Bytes(64000, 0)), base::MSG_INTERNAL);
}

// Without a flashing cell --flash changes nothing; a size other than the options give is our
// bug. (Scaled, bordered and animated files are checked pixel by pixel and frame by frame with
// Pillow, end to end.)
TEST(WriteGifScreen, FlashWithoutAFlashingCellIsTheStillPicture) {
    auto steady = testing::make_test_card();
    for (std::size_t i = 0; i < 768; ++i)
        steady[screen::BITMAP_BYTES + i] &= 0x7F;
    EXPECT_EQ(write_gif_screen(steady, 0, {.flash = true}, {}),
              write_gif_screen(steady, 0, {}, {}));
    const auto card = testing::make_test_card();
    const auto animated = write_gif_screen(card, 0, {.flash = true}, {});
    EXPECT_EQ(Bytes(animated.begin(), animated.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
    EXPECT_FAILURE(write_gif_screen(card, 0, {.scale = 2}, {}), base::MSG_INTERNAL);
}

TEST(PutCode, MergesLeastSignificantBitFirst) {
    Bytes buffer(6, 0);
    std::uint32_t position = 0;
    put_code(16, buffer, position, 5);
    put_code(0, buffer, position, 5);
    put_code(18, buffer, position, 5);
    put_code(0xABC, buffer, position, 12);
    EXPECT_EQ(position, 27u);
    // Bit 4 (16), bits 11 and 14 (18 from bit 10), 0xABC from bit 15.
    EXPECT_EQ(buffer, (Bytes{0x10, 0x48, 0x5E, 0x05, 0x00, 0x00}));
}

}  // namespace
}  // namespace mirva::pictures
