#include "support/snapshot_128k.h"

#include <algorithm>

#include "support/test_card.h"

namespace mirva::testing {

namespace {

constexpr std::size_t BANK_BYTES = 16384;

}  // namespace

Banks128k make_banks(const screen::ScreenImage& bank_5_screen) {
    Banks128k banks;
    for (std::size_t bank = 0; bank < banks.size(); ++bank) {
        auto screen =
            bank == 5 ? bank_5_screen : make_random_screen(static_cast<std::uint32_t>(100 + bank));
        banks[bank].assign(BANK_BYTES, 0);
        std::copy(screen.begin(), screen.end(), banks[bank].begin());
        for (std::size_t i = screen.size(); i < BANK_BYTES; ++i) {
            banks[bank][i] = i % 11 == 0 ? 0xED : static_cast<std::uint8_t>(bank * 31 + i / 64);
        }
    }
    return banks;
}

screen::ScreenImage bank_screen(const std::vector<std::uint8_t>& bank) {
    screen::ScreenImage screen{};
    std::copy_n(bank.begin(), screen.size(), screen.begin());
    return screen;
}

std::vector<std::uint8_t> make_sna_128(const Banks128k& banks, std::uint8_t border,
                                       std::uint8_t port_7ffd) {
    auto sna = make_sna(bank_screen(banks[5]), border);
    sna.resize(27);
    sna[23] = 0;
    sna[24] = 0;  // SP back to 0: the program counter has its own field here.
    std::size_t paged = port_7ffd & 0x07;
    for (std::size_t bank : {std::size_t{5}, std::size_t{2}, paged})
        sna.insert(sna.end(), banks[bank].begin(), banks[bank].end());
    sna.insert(sna.end(), {0x02, 0x80, port_7ffd, 0});
    for (std::size_t bank = 0; bank < banks.size(); ++bank) {
        if (bank != 5 && bank != 2 && bank != paged)
            sna.insert(sna.end(), banks[bank].begin(), banks[bank].end());
    }
    return sna;
}

}  // namespace mirva::testing
