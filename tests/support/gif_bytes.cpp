#include "support/gif_bytes.h"

#include <algorithm>

namespace mirva::testing {

void CodeWriter::put(int code, int width) {
    for (int k = 0; k < width; ++k, ++bits) {
        if (bits % 8 == 0)
            bytes.push_back(0);
        if ((code >> k) & 1)
            bytes.back() = static_cast<std::uint8_t>(bytes.back() | (1 << (bits % 8)));
    }
}

std::vector<std::uint8_t> plain_lzw_codes(std::span<const std::uint8_t> pixels, int root_bits) {
    const int clear = 1 << root_bits;
    const int width = root_bits + 1;
    // After a clear code the first code adds no entry and each later one adds one; the decoder
    // widens its codes once 2^root_bits - 2 entries were added, so a clear code comes first.
    const int codes_per_clear = (1 << root_bits) - 2;
    CodeWriter writer;
    int since_clear = codes_per_clear;
    for (std::uint8_t pixel : pixels) {
        if (since_clear == codes_per_clear) {
            writer.put(clear, width);
            since_clear = 0;
        }
        writer.put(pixel, width);
        ++since_clear;
    }
    writer.put(clear + 1, width);
    return writer.bytes;
}

std::vector<std::uint8_t> gif_bytes(const GifParts& parts) {
    const std::string signature = "GIF" + parts.version;
    std::vector<std::uint8_t> file(signature.begin(), signature.end());
    auto put16 = [&](int value) {
        file.push_back(static_cast<std::uint8_t>(value & 0xFF));
        file.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    };
    put16(parts.width);
    put16(parts.height);
    file.push_back(parts.screen_flags);
    file.push_back(0);  // Background colour.
    file.push_back(0);  // Aspect ratio.
    file.insert(file.end(), parts.colour_table.begin(), parts.colour_table.end());
    for (const auto& extension : parts.extensions)
        file.insert(file.end(), extension.begin(), extension.end());
    file.push_back(0x2C);
    put16(0);
    put16(0);
    put16(parts.width);
    put16(parts.height);
    file.push_back(parts.image_flags);
    file.push_back(parts.minimum_code_size);
    for (std::size_t at = 0; at < parts.codes.size(); at += 255) {
        std::size_t length = std::min<std::size_t>(255, parts.codes.size() - at);
        file.push_back(static_cast<std::uint8_t>(length));
        file.insert(file.end(), parts.codes.begin() + static_cast<std::ptrdiff_t>(at),
                    parts.codes.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    file.push_back(0);
    if (parts.trailer)
        file.push_back(0x3B);
    return file;
}

std::vector<std::uint8_t> test_colour_table(int bits) {
    std::vector<std::uint8_t> table;
    for (int i = 0; i < (1 << bits); ++i) {
        table.push_back(static_cast<std::uint8_t>(i));
        table.push_back(static_cast<std::uint8_t>(255 - i));
        table.push_back(static_cast<std::uint8_t>(i * 7));
    }
    return table;
}

std::vector<std::uint8_t> graphic_control_extension() {
    return {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
}

}  // namespace mirva::testing
