#include "support/tap_file.h"

namespace mirva::testing {

namespace {

// A block's checksum makes the XOR of all its bytes, flag and checksum included, zero.
std::vector<std::uint8_t> with_checksum(std::vector<std::uint8_t> block) {
    std::uint8_t checksum = 0;
    for (auto byte : block)
        checksum ^= byte;
    block.push_back(checksum);
    return block;
}

}  // namespace

std::vector<std::uint8_t> tap_block(const std::vector<std::uint8_t>& block) {
    std::vector<std::uint8_t> bytes(2 + block.size());
    bytes[0] = static_cast<std::uint8_t>(block.size() & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(block.size() >> 8);
    std::copy(block.begin(), block.end(), bytes.begin() + 2);
    return bytes;
}

std::vector<std::uint8_t> screen_tape(const screen::ScreenImage& screen) {
    // Flag 0, type 3 (bytes), the name padded to 10, length 6912, start 16384, 32768.
    std::vector<std::uint8_t> header{0x00, 0x03, 'S', 'C', 'R',  'E', 'E',  'N', ' ',
                                     ' ',  ' ',  ' ', 0,   0x1B, 0,   0x40, 0,   0x80};
    std::vector<std::uint8_t> data(1 + screen.size(), 0xFF);
    std::copy(screen.begin(), screen.end(), data.begin() + 1);
    auto tape = tap_block(with_checksum(header));
    auto data_block = tap_block(with_checksum(data));
    tape.resize(tape.size() + data_block.size());
    std::copy(data_block.begin(), data_block.end(),
              tape.end() - static_cast<std::ptrdiff_t>(data_block.size()));
    return tape;
}

}  // namespace mirva::testing
