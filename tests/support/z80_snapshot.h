#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "screen/screen_image.h"

namespace mirva::testing {

/// Packs bytes as Z80 snapshot writers do: runs of five or more equal bytes, and runs of two or
/// more 0xED bytes, become 0xED 0xED count value; the byte right after a single 0xED is never
/// the start of a run.
std::vector<std::uint8_t> pack_z80(std::span<const std::uint8_t> memory);

/// A 48K memory image (address 16384 on) that starts with the screen; the rest is filler.
std::vector<std::uint8_t> memory_48k(const screen::ScreenImage& screen);

/// A version-1 snapshot of the 48K memory: the 30-byte header with the flags byte, then the
/// memory, packed with its end marker (00 ED ED 00) when flags bit 5 is set, plain otherwise.
std::vector<std::uint8_t> make_z80_v1(std::span<const std::uint8_t> memory, std::uint8_t flags);

/// One memory block of a version-2 or version-3 snapshot.
struct Z80Block {
    std::uint16_t length = 0;
    std::uint8_t page = 0;
    std::vector<std::uint8_t> data;
};

/// The block of a 16 KB page, packed.
Z80Block packed_block(std::uint8_t page, std::span<const std::uint8_t> memory);

/// The block of a 16 KB page stored plain (length 0xFFFF, version 3 only).
Z80Block plain_block(std::uint8_t page, std::span<const std::uint8_t> memory);

/// A version-2 or version-3 snapshot: the 30-byte header with the flags byte and a program
/// counter of 0, an additional header of the given length, then the blocks in order.
std::vector<std::uint8_t> make_z80_paged(std::uint16_t additional_length, std::uint8_t flags,
                                         const std::vector<Z80Block>& blocks);

/// A 16 KB page that starts with the screen.
std::vector<std::uint8_t> screen_page(const screen::ScreenImage& screen);

/// Screens that are hard for a packer or an unpacker: all 0xED; pairs of 0xED between other
/// bytes, whose packed form is far longer than the screen; single 0xED before runs; a screen
/// ending in 0xED.
screen::ScreenImage make_all_ed_screen();
screen::ScreenImage make_ed_pairs_screen();
screen::ScreenImage make_ed_before_runs_screen();

}  // namespace mirva::testing
