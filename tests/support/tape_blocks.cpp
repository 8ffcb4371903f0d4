#include "support/tape_blocks.h"

#include <algorithm>
#include <cassert>

namespace mirva::testing {

Bytes operator+(const Bytes& first, const Bytes& second) {
    Bytes joined(first.size() + second.size());
    std::copy(first.begin(), first.end(), joined.begin());
    std::copy(second.begin(), second.end(),
              joined.begin() + static_cast<std::ptrdiff_t>(first.size()));
    return joined;
}

Bytes little_endian_bytes(std::uint64_t value, std::size_t width) {
    Bytes bytes;
    for (std::size_t i = 0; i < width; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

Bytes screen_data(const screen::ScreenImage& screen, std::uint8_t flag) {
    Bytes data(1 + screen.size() + 1);
    data.front() = flag;
    std::copy(screen.begin(), screen.end(), data.begin() + 1);
    std::uint8_t checksum = 0;
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        checksum ^= data[i];
    data.back() = checksum;
    return data;
}

Bytes tzx_header(std::uint8_t major, std::uint8_t minor) {
    return {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, major, minor};
}

namespace {

const Bytes PAUSE_ONE_SECOND = little_endian_bytes(1000, 2);

}  // namespace

Bytes tzx_standard_block(const Bytes& data) {
    return Bytes{0x10} + PAUSE_ONE_SECOND + little_endian_bytes(data.size(), 2) + data;
}

Bytes tzx_turbo_block(const Bytes& data) {
    // Pilot, two sync pulses, 0 and 1 bits, pilot pulses, bits in the last byte, pause.
    Bytes fields;
    for (std::uint64_t value : {2168, 667, 735, 855, 1710, 3223})
        fields = fields + little_endian_bytes(value, 2);
    return Bytes{0x11} + fields + Bytes{8} + PAUSE_ONE_SECOND +
           little_endian_bytes(data.size(), 3) + data;
}

Bytes tzx_pure_data_block(const Bytes& data) {
    return Bytes{0x14} + little_endian_bytes(855, 2) + little_endian_bytes(1710, 2) + Bytes{8} +
           PAUSE_ONE_SECOND + little_endian_bytes(data.size(), 3) + data;
}

Bytes tzx_custom_info_block(std::string_view name, const Bytes& body) {
    assert(name.size() == 16);
    return Bytes{0x35} + Bytes(name.begin(), name.end()) + little_endian_bytes(body.size(), 4) +
           body;
}

Bytes tzx_screen_info_block(const screen::ScreenImage& screen, std::uint8_t border,
                            std::string_view description) {
    Bytes body{static_cast<std::uint8_t>(description.size())};
    body.insert(body.end(), description.begin(), description.end());
    body.push_back(border);
    body.insert(body.end(), screen.begin(), screen.end());
    return tzx_custom_info_block("Spectrum Screen ", body);
}

Bytes pzx_block(std::string_view tag, const Bytes& body) {
    assert(tag.size() == 4);
    return Bytes(tag.begin(), tag.end()) + little_endian_bytes(body.size(), 4) + body;
}

Bytes pzx_header(std::uint8_t major, std::uint8_t minor) {
    return pzx_block("PZXT", Bytes{major, minor, 'S', 'c', 'r', 'e', 'e', 'n', 0});
}

Bytes pzx_data_block(const Bytes& data, std::uint32_t bit_count) {
    if (bit_count == 0)
        bit_count = static_cast<std::uint32_t>(data.size() * 8);
    // Bit count with the initial level low, a tail pulse of 945, two pulses for each bit value.
    Bytes body = little_endian_bytes(bit_count, 4) + little_endian_bytes(945, 2) + Bytes{2, 2};
    for (std::uint64_t pulse : {855, 855, 1710, 1710})
        body = body + little_endian_bytes(pulse, 2);
    return pzx_block("DATA", body + data);
}

}  // namespace mirva::testing
