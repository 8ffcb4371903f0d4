#include "support/szx_file.h"

#include <zlib.h>

#include <cassert>

namespace mirva::testing {

std::vector<std::uint8_t> szx_chunk(std::string_view id, std::span<const std::uint8_t> data) {
    assert(id.size() == 4);
    std::vector<std::uint8_t> chunk(id.begin(), id.end());
    auto length = static_cast<std::uint32_t>(data.size());
    for (int shift = 0; shift < 32; shift += 8)
        chunk.push_back(static_cast<std::uint8_t>(length >> shift));
    chunk.insert(chunk.end(), data.begin(), data.end());
    return chunk;
}

std::vector<std::uint8_t> spcr_chunk(std::uint8_t border, std::uint8_t port_7ffd) {
    const std::vector<std::uint8_t> data{border, port_7ffd, 0, border, 0, 0, 0, 0};
    return szx_chunk("SPCR", data);
}

std::vector<std::uint8_t> zlib_compress(std::span<const std::uint8_t> bytes) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> compressed(length);
    int status = compress2(compressed.data(), &length, bytes.data(),
                           static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
    assert(status == Z_OK);
    (void)status;
    compressed.resize(length);
    return compressed;
}

std::vector<std::uint8_t> ramp_chunk_raw(std::uint8_t page, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> body{0x01, 0x00, page};
    body.insert(body.end(), data.begin(), data.end());
    return szx_chunk("RAMP", body);
}

std::vector<std::uint8_t> ramp_chunk(std::uint8_t page, std::span<const std::uint8_t> memory,
                                     bool compressed) {
    if (compressed)
        return ramp_chunk_raw(page, zlib_compress(memory));
    std::vector<std::uint8_t> body{0x00, 0x00, page};
    body.insert(body.end(), memory.begin(), memory.end());
    return szx_chunk("RAMP", body);
}

std::vector<std::uint8_t> make_szx(std::uint8_t machine,
                                   const std::vector<std::vector<std::uint8_t>>& chunks) {
    std::vector<std::uint8_t> file{'Z', 'X', 'S', 'T', 1, 4, machine, 0};
    for (const auto& chunk : chunks)
        file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

}  // namespace mirva::testing
