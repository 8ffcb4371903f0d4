#include "support/z80_snapshot.h"

#include <algorithm>
#include <array>

namespace mirva::testing {

namespace {

constexpr std::uint8_t MARK = 0xED;
constexpr std::size_t PAGE_BYTES = 16384;
constexpr std::size_t MEMORY_48K_BYTES = 3 * PAGE_BYTES;

void put_u16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::vector<std::uint8_t> pack_z80(std::span<const std::uint8_t> memory) {
    std::vector<std::uint8_t> packed;
    std::size_t i = 0;
    while (i < memory.size()) {
        std::uint8_t value = memory[i];
        std::size_t run = 1;
        while (i + run < memory.size() && memory[i + run] == value && run < 255)
            ++run;
        if (run >= 5 || (value == MARK && run >= 2)) {
            packed.insert(packed.end(), {MARK, MARK, static_cast<std::uint8_t>(run), value});
            i += run;
        } else if (value == MARK) {
            // A single 0xED: the next byte is copied as it is, so that it cannot open a run.
            packed.push_back(value);
            ++i;
            if (i < memory.size())
                packed.push_back(memory[i++]);
        } else {
            packed.push_back(value);
            ++i;
        }
    }
    return packed;
}

std::vector<std::uint8_t> memory_48k(const screen::ScreenImage& screen) {
    std::vector<std::uint8_t> memory(MEMORY_48K_BYTES);
    for (std::size_t i = screen.size(); i < memory.size(); ++i)
        memory[i] = static_cast<std::uint8_t>((i / 300) % 3 == 0 ? 0 : i * 13);
    std::copy(screen.begin(), screen.end(), memory.begin());
    return memory;
}

std::vector<std::uint8_t> make_z80_v1(std::span<const std::uint8_t> memory, std::uint8_t flags) {
    std::vector<std::uint8_t> body;
    if ((flags & 0x20) != 0) {
        body = pack_z80(memory);
        body.insert(body.end(), {0x00, MARK, MARK, 0x00});
    } else {
        body.assign(memory.begin(), memory.end());
    }
    std::vector<std::uint8_t> file(30 + body.size(), 0);
    put_u16(file, 6, 0x8000);  // A non-zero program counter marks version 1.
    file[12] = flags;
    std::copy(body.begin(), body.end(), file.begin() + 30);
    return file;
}

Z80Block packed_block(std::uint8_t page, std::span<const std::uint8_t> memory) {
    Z80Block block{0, page, pack_z80(memory)};
    block.length = static_cast<std::uint16_t>(block.data.size());
    return block;
}

Z80Block plain_block(std::uint8_t page, std::span<const std::uint8_t> memory) {
    return {0xFFFF, page, {memory.begin(), memory.end()}};
}

std::vector<std::uint8_t> make_z80_paged(std::uint16_t additional_length, std::uint8_t flags,
                                         const std::vector<Z80Block>& blocks) {
    std::vector<std::uint8_t> file(32 + additional_length, 0);
    file[12] = flags;
    put_u16(file, 30, additional_length);
    if (additional_length >= 2)
        put_u16(file, 32, 0x8000);  // The program counter lives in the additional header.
    for (const auto& block : blocks) {
        std::size_t at = file.size();
        file.resize(at + 3);
        put_u16(file, at, block.length);
        file[at + 2] = block.page;
        file.insert(file.end(), block.data.begin(), block.data.end());
    }
    return file;
}

std::vector<std::uint8_t> screen_page(const screen::ScreenImage& screen) {
    std::vector<std::uint8_t> page(PAGE_BYTES);
    std::copy(screen.begin(), screen.end(), page.begin());
    return page;
}

screen::ScreenImage make_all_ed_screen() {
    screen::ScreenImage screen{};
    screen.fill(MARK);
    return screen;
}

screen::ScreenImage make_ed_pairs_screen() {
    screen::ScreenImage screen{};
    for (std::size_t i = 0; i < screen.size(); ++i)
        screen[i] = i % 3 == 2 ? static_cast<std::uint8_t>(i / 3) : MARK;
    return screen;
}

screen::ScreenImage make_ed_before_runs_screen() {
    constexpr std::array<std::uint8_t, 17> pattern{MARK, 0, 0,    0, 0, 0, 0, MARK, MARK,
                                                   MARK, 1, MARK, 5, 5, 5, 5, 5};
    screen::ScreenImage screen{};
    for (std::size_t i = 0; i < screen.size(); ++i)
        screen[i] = pattern[i % pattern.size()];
    screen.back() = MARK;
    return screen;
}

}  // namespace mirva::testing
