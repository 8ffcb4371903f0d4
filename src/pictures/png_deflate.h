#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mirva::pictures {

/// A zlib stream of the filtered rows of a PNG picture, made for pictures whose rows repeat: a
/// scaled picture, where every row is written scale times, and the border, whose rows are all
/// alike. Each row is given once as its filtered bytes or as a repeat of the row above, which
/// costs a few symbols of one Huffman code and no search; the rows given in full are searched
/// for matches (runs of zeros first, then the same place in the rows above, then a chain of
/// earlier strings, at this byte and the next) and everything is written as one dynamic Huffman
/// block.
class PngDeflate {
public:
    /// Takes the bytes of a row, its filter byte included, and the number of rows.
    PngDeflate(std::size_t line, std::size_t rows);

    /// Appends a row of line bytes: its filter byte, then the filtered pixels.
    void add_row(std::span<const std::uint8_t> row);
    /// Appends a row the same as the one above: the filter Up and zeros, or all zeros when the
    /// row above is a row of zeros under the filter None.
    void repeat_row();
    /// Appends the zlib stream of every row to the file.
    void finish(std::vector<std::uint8_t>& file);

    /// Where the rows are kept: each row's filtered bytes, line after line.
    std::span<const std::uint8_t> rows() const { return data_; }

private:
    struct Symbol {
        std::uint16_t value;     // A literal byte, or the length of a match.
        std::uint16_t distance;  // 0 for a literal.
    };

    void literal(std::uint8_t byte);
    void zeros(std::size_t count);
    void flush_zeros();
    void match(std::size_t length, std::size_t distance);
    std::uint32_t hash_at(std::size_t at) const;
    void insert(std::size_t at);
    std::size_t longest_match(std::size_t at, std::size_t end, std::size_t& distance,
                              int chain) const;
    void parse_row(std::size_t start);

    std::size_t line_;
    std::vector<std::uint8_t> data_;
    std::vector<Symbol> symbols_;
    std::size_t pending_zeros_ = 0;  // Zeros that follow a zero already written, as yet unwritten.
    bool last_zero_ = false;         // Whether the last byte written is a zero.
    bool above_up_repeat_ = false;   // Whether the last row is a repeat under the filter Up.
    bool above_zeros_ = false;       // Whether the last row is all zeros, its filter byte too.
    std::vector<std::size_t> row_starts_;  // Where each row given in full starts.
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> previous_;
};

}  // namespace mirva::pictures
