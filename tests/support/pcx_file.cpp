#include "support/pcx_file.h"

namespace mirva::testing {

std::vector<std::uint8_t> make_pcx(const PcxPicture& picture) {
    int line_length =
        picture.bytes_per_line != 0 ? picture.bytes_per_line : picture.width + picture.width % 2;
    auto u16 = [](int value) {
        return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(value & 0xFF),
                                           static_cast<std::uint8_t>((value >> 8) & 0xFF)};
    };
    std::vector<std::uint8_t> file(128, 0);
    file[0] = 10;  // PCX.
    file[1] = 5;   // Version 5.
    file[2] = 1;   // Run-length.
    file[3] = 8;   // Bits per pixel.
    for (auto [offset, value] :
         {std::pair{8, picture.width - 1}, {10, picture.height - 1}, {66, line_length}, {68, 1}}) {
        auto bytes = u16(value);
        file[static_cast<std::size_t>(offset)] = bytes[0];
        file[static_cast<std::size_t>(offset) + 1] = bytes[1];
    }
    file[65] = 1;  // One plane.

    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> line(static_cast<std::size_t>(line_length), picture.padding);
        for (int x = 0; x < picture.width && x < line_length; ++x)
            line[static_cast<std::size_t>(x)] =
                picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
        for (std::size_t x = 0; x < line.size();) {
            std::size_t run = 1;
            while (x + run < line.size() && run < 63 && line[x + run] == line[x])
                ++run;
            if (run > 1 || line[x] >= 0xC0)
                file.push_back(static_cast<std::uint8_t>(0xC0 | run));
            file.push_back(line[x]);
            x += run;
        }
    }
    file.push_back(0x0C);
    for (std::size_t entry = 0; entry < 256; ++entry)
        for (std::size_t component = 0; component < 3; ++component)
            file.push_back(entry < picture.palette.size() ? picture.palette[entry][component] : 0);
    return file;
}

}  // namespace mirva::testing
