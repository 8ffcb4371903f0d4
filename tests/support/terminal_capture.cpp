#include "support/terminal_capture.h"

#include <cstdlib>
#include <utility>

namespace mirva::testing {

namespace {

struct Attributes {
    TerminalColour foreground;
    TerminalColour background;
    bool reverse = false;
};

std::vector<int> parameters_of(const std::string& text) {
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(";:", start);
        if (end == std::string::npos)
            end = text.size();
        numbers.push_back(end > start ? std::atoi(text.substr(start, end - start).c_str()) : 0);
        start = end + 1;
    }
    return numbers;
}

// Takes a 38 or 48 colour (5;N or 2;R;G;B) from the parameters at position; moves past it.
TerminalColour extended_colour(const std::vector<int>& numbers, std::size_t& position) {
    TerminalColour colour;
    if (position + 2 < numbers.size() && numbers[position + 1] == 5) {
        colour.kind = TerminalColour::Kind::indexed;
        colour.index = numbers[position + 2];
        position += 2;
    } else if (position + 4 < numbers.size() && numbers[position + 1] == 2) {
        colour.kind = TerminalColour::Kind::rgb;
        colour.rgb = {static_cast<std::uint8_t>(numbers[position + 2]),
                      static_cast<std::uint8_t>(numbers[position + 3]),
                      static_cast<std::uint8_t>(numbers[position + 4])};
        position += 4;
    }
    return colour;
}

TerminalColour indexed(int index) {
    TerminalColour colour;
    colour.kind = TerminalColour::Kind::indexed;
    colour.index = index;
    return colour;
}

void apply_sgr(const std::string& text, Attributes& attributes) {
    std::vector<int> numbers = parameters_of(text);
    for (std::size_t position = 0; position < numbers.size(); ++position) {
        int number = numbers[position];
        if (number == 0)
            attributes = {};
        else if (number == 7)
            attributes.reverse = true;
        else if (number == 27)
            attributes.reverse = false;
        else if (number >= 30 && number <= 37)
            attributes.foreground = indexed(number - 30);
        else if (number >= 90 && number <= 97)
            attributes.foreground = indexed(number - 90 + 8);
        else if (number == 39)
            attributes.foreground = {};
        else if (number >= 40 && number <= 47)
            attributes.background = indexed(number - 40);
        else if (number >= 100 && number <= 107)
            attributes.background = indexed(number - 100 + 8);
        else if (number == 49)
            attributes.background = {};
        else if (number == 38)
            attributes.foreground = extended_colour(numbers, position);
        else if (number == 48)
            attributes.background = extended_colour(numbers, position);
    }
}

}  // namespace

std::vector<std::vector<TerminalCell>> parse_capture(const std::string& text) {
    std::vector<std::vector<TerminalCell>> lines(1);
    Attributes attributes;
    std::size_t position = 0;
    while (position < text.size()) {
        unsigned char byte = static_cast<unsigned char>(text[position]);
        if (byte == '\n') {
            lines.emplace_back();
            ++position;
        } else if (byte == 0x1B && position + 1 < text.size() && text[position + 1] == '[') {
            std::size_t end = position + 2;
            while (end < text.size() && !(text[end] >= 0x40 && text[end] <= 0x7E))
                ++end;
            if (end < text.size() && text[end] == 'm')
                apply_sgr(text.substr(position + 2, end - position - 2), attributes);
            position = end + 1;
        } else {
            std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
            TerminalCell cell{text.substr(position, length), attributes.foreground,
                              attributes.background};
            if (attributes.reverse)
                std::swap(cell.foreground, cell.background);
            lines.back().push_back(cell);
            position += length;
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

std::optional<CellHalves> cell_halves(const TerminalCell& cell) {
    if (cell.glyph == " ")
        return CellHalves{cell.background, cell.background};
    if (cell.glyph == "\u2588")
        return CellHalves{cell.foreground, cell.foreground};
    if (cell.glyph == "\u2580")
        return CellHalves{cell.foreground, cell.background};
    if (cell.glyph == "\u2584")
        return CellHalves{cell.background, cell.foreground};
    return std::nullopt;
}

screen::Rgb xterm_colour(int index) {
    if (index >= 232) {
        auto grey = static_cast<std::uint8_t>(8 + (index - 232) * 10);
        return {grey, grey, grey};
    }
    int cube = index - 16;
    auto level = [](int step) { return static_cast<std::uint8_t>(step == 0 ? 0 : 55 + step * 40); };
    return {level(cube / 36), level(cube / 6 % 6), level(cube % 6)};
}

}  // namespace mirva::testing
