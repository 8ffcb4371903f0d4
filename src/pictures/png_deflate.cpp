#include "pictures/png_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <numeric>

namespace mirva::pictures {

namespace {

inline constexpr std::size_t WINDOW = 32768;  // The farthest a match may reach back.
inline constexpr std::size_t MIN_MATCH = 3;
inline constexpr std::size_t MAX_MATCH = 258;
inline constexpr int HASH_BITS = 15;
// The bytes a string's hash covers: the chains hold the strings that begin with the same three.
inline constexpr std::size_t HASHED = 3;
// The earlier strings a search tries, and those tried for a longer match at the next byte.
// Deeper chains cost more than they save on pictures of noise; shallower ones lose the long
// matches of text and patterns a few rows up.
inline constexpr int MAX_CHAIN = 256;
inline constexpr int LAZY_CHAIN = 16;
// The rows given in full above whose bytes at the same place are tried before the chain.
inline constexpr std::size_t MAX_ROWS_ABOVE = 16;
inline constexpr std::uint16_t END_OF_BLOCK = 256;
inline constexpr std::size_t LITERAL_LENGTH_CODES = 286;
inline constexpr std::size_t DISTANCE_CODES = 30;
inline constexpr std::size_t CODE_LENGTH_CODES = 19;

inline constexpr std::array<std::uint16_t, 29> LENGTH_BASE{
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<std::uint8_t, 29> LENGTH_EXTRA{
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr std::array<std::uint16_t, 30> DISTANCE_BASE{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::array<std::uint8_t, 30> DISTANCE_EXTRA{0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                             4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                             9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which the lengths of the code of code lengths are written.
inline constexpr std::array<std::uint8_t, CODE_LENGTH_CODES> CODE_LENGTH_ORDER{
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The length code (0 for 257) of a match length, 3..258.
constexpr std::array<std::uint8_t, MAX_MATCH + 1> length_codes() {
    std::array<std::uint8_t, MAX_MATCH + 1> codes{};
    for (std::size_t code = 0; code < LENGTH_BASE.size(); ++code)
        for (std::size_t length = LENGTH_BASE[code]; length < codes.size(); ++length)
            codes[length] = static_cast<std::uint8_t>(code);
    return codes;
}
inline constexpr auto LENGTH_CODE = length_codes();

// The distance code of a distance, 1..32768: two codes for each power of two above 4.
std::size_t distance_code(std::size_t distance) {
    if (distance <= 4)
        return distance - 1;
    const std::size_t above = distance - 1;
    const auto top = static_cast<std::size_t>(std::bit_width(above) - 1);
    return 2 * top + ((above >> (top - 1)) & 1);
}

// The lengths of a Huffman code of the frequencies, none longer than limit: a code of one
// symbol gets one bit. Frequencies are halved until the code fits; that costs little.
std::vector<std::uint8_t> code_lengths(std::vector<std::uint64_t> frequencies, int limit) {
    const std::size_t count = frequencies.size();
    std::vector<std::uint8_t> lengths(count, 0);
    std::vector<std::size_t> used;
    for (std::size_t symbol = 0; symbol < count; ++symbol)
        if (frequencies[symbol] != 0)
            used.push_back(symbol);
    if (used.size() == 1)
        lengths[used[0]] = 1;
    if (used.size() < 2)
        return lengths;
    const std::size_t leaves = used.size();
    for (;;) {
        std::sort(used.begin(), used.end(), [&](std::size_t a, std::size_t b) {
            return frequencies[a] != frequencies[b] ? frequencies[a] < frequencies[b] : a < b;
        });
        // Nodes: the leaves in order of weight, then the inner nodes as they are made, which
        // come in order of weight too, so that the two lightest are always at a queue's front.
        std::vector<std::uint64_t> weight(2 * leaves - 1);
        std::vector<std::size_t> parent(2 * leaves - 1);
        for (std::size_t k = 0; k < leaves; ++k)
            weight[k] = frequencies[used[k]];
        std::size_t next_leaf = 0;
        std::size_t next_inner = leaves;
        for (std::size_t made = leaves; made < 2 * leaves - 1; ++made) {
            std::uint64_t sum = 0;
            for (int pick = 0; pick < 2; ++pick) {
                const bool leaf = next_leaf < leaves &&
                                  (next_inner == made || weight[next_leaf] <= weight[next_inner]);
                const std::size_t node = leaf ? next_leaf++ : next_inner++;
                parent[node] = made;
                sum += weight[node];
            }
            weight[made] = sum;
        }
        std::vector<int> depth(2 * leaves - 1, 0);
        int deepest = 0;
        for (std::size_t node = 2 * leaves - 2; node-- > 0;) {
            depth[node] = depth[parent[node]] + 1;
            deepest = std::max(deepest, depth[node]);
        }
        if (deepest <= limit) {
            for (std::size_t k = 0; k < leaves; ++k)
                lengths[used[k]] = static_cast<std::uint8_t>(depth[k]);
            return lengths;
        }
        for (std::size_t symbol : used)
            frequencies[symbol] = std::max<std::uint64_t>(1, frequencies[symbol] / 2);
    }
}

// The canonical codes of the lengths, bit-reversed, as they are written first bit first.
std::vector<std::uint16_t> canonical_codes(const std::vector<std::uint8_t>& lengths) {
    std::array<std::uint16_t, 16> count{};
    for (std::uint8_t length : lengths)
        ++count[length];
    count[0] = 0;
    std::array<std::uint16_t, 16> next{};
    for (std::size_t bits = 1; bits < 16; ++bits)
        next[bits] = static_cast<std::uint16_t>((next[bits - 1] + count[bits - 1]) << 1);
    std::vector<std::uint16_t> codes(lengths.size(), 0);
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        const std::uint8_t length = lengths[symbol];
        if (length == 0)
            continue;
        unsigned code = next[length]++;
        unsigned reversed = 0;
        for (int bit = 0; bit < length; ++bit, code >>= 1)
            reversed = (reversed << 1) | (code & 1);
        codes[symbol] = static_cast<std::uint16_t>(reversed);
    }
    return codes;
}

// Writes bits first bit first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& file) : file_(file) {}
    void put(unsigned value, int bits) {
        buffer_ |= static_cast<std::uint64_t>(value) << filled_;
        filled_ += bits;
        while (filled_ >= 8) {
            file_.push_back(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    void align() {
        if (filled_ > 0)
            put(0, 8 - filled_);
    }

private:
    std::vector<std::uint8_t>& file_;
    std::uint64_t buffer_ = 0;
    int filled_ = 0;
};

// One item of the code lengths as written: a length, or a repeat code and its extra bits.
struct LengthItem {
    std::uint8_t code;
    std::uint8_t extra;
};

// The lengths of both codes, with runs written as repeats (16: the last length 3 to 6 times,
// 17: 3 to 10 zeros, 18: 11 to 138 zeros).
std::vector<LengthItem> run_length_items(const std::vector<std::uint8_t>& lengths) {
    std::vector<LengthItem> items;
    for (std::size_t at = 0; at < lengths.size();) {
        const std::uint8_t length = lengths[at];
        std::size_t run = 1;
        while (at + run < lengths.size() && lengths[at + run] == length)
            ++run;
        at += run;
        if (length == 0) {
            for (; run >= 11; run -= std::min<std::size_t>(run, 138))
                items.push_back(
                    {18, static_cast<std::uint8_t>(std::min<std::size_t>(run, 138) - 11)});
            if (run >= 3) {
                items.push_back({17, static_cast<std::uint8_t>(run - 3)});
                run = 0;
            }
        } else {
            items.push_back({length, 0});
            --run;
            for (; run >= 3; run -= std::min<std::size_t>(run, 6))
                items.push_back({16, static_cast<std::uint8_t>(std::min<std::size_t>(run, 6) - 3)});
        }
        for (; run > 0; --run)
            items.push_back({length, 0});
    }
    return items;
}

}  // namespace

PngDeflate::PngDeflate(std::size_t line, std::size_t rows)
    : line_(line), head_(std::size_t{1} << HASH_BITS, -1), previous_(WINDOW, -1) {
    assert(line >= 2 && line <= WINDOW);
    data_.reserve(line * rows);
    symbols_.reserve(rows * 8);
}

void PngDeflate::literal(std::uint8_t byte) {
    flush_zeros();
    symbols_.push_back({byte, 0});
    last_zero_ = byte == 0;
}

void PngDeflate::zeros(std::size_t count) {
    if (count == 0)
        return;
    if (!last_zero_) {
        literal(0);
        --count;
    }
    pending_zeros_ += count;
}

// Writes the pending zeros as copies of the zero before them, each of 3 to 258 bytes.
void PngDeflate::flush_zeros() {
    while (pending_zeros_ >= MIN_MATCH) {
        std::size_t length = std::min(pending_zeros_, MAX_MATCH);
        if (pending_zeros_ - length < MIN_MATCH && pending_zeros_ != length)
            length = pending_zeros_ - MIN_MATCH;
        symbols_.push_back({static_cast<std::uint16_t>(length), 1});
        pending_zeros_ -= length;
    }
    for (; pending_zeros_ > 0; --pending_zeros_)
        symbols_.push_back({0, 0});
}

void PngDeflate::match(std::size_t length, std::size_t distance) {
    flush_zeros();
    symbols_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
}

// The hash of the HASHED bytes from at, which the chains are kept by.
std::uint32_t PngDeflate::hash_at(std::size_t at) const {
    std::uint32_t bytes = 0;
    for (std::size_t k = 0; k < HASHED; ++k)
        bytes = (bytes << 8) | data_[at + k];
    return (bytes * 2654435761u) >> (32 - HASH_BITS);
}

void PngDeflate::insert(std::size_t at) {
    const std::uint32_t hash = hash_at(at);
    previous_[at % WINDOW] = head_[hash];
    head_[hash] = static_cast<std::int32_t>(at);
}

namespace {

// How many of the most bytes from here the bytes from there repeat: eight at a time, then the
// first that differs.
std::size_t common_length(const std::uint8_t* there, const std::uint8_t* here, std::size_t most) {
    std::size_t length = 0;
    for (; length + 8 <= most; length += 8) {
        std::uint64_t a = 0;
        std::uint64_t b = 0;
        std::memcpy(&a, there + length, 8);
        std::memcpy(&b, here + length, 8);
        if (a != b) {
            const int differing = std::endian::native == std::endian::little
                                      ? std::countr_zero(a ^ b)
                                      : std::countl_zero(a ^ b);
            return length + static_cast<std::size_t>(differing) / 8;
        }
    }
    while (length < most && there[length] == here[length])
        ++length;
    return length;
}

// How many of the most bytes from here are zeros: eight at a time, then the first that is not.
std::size_t zero_run(const std::uint8_t* here, std::size_t most) {
    std::size_t length = 0;
    for (; length + 8 <= most; length += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, here + length, 8);
        if (word != 0) {
            const int zero_bits = std::endian::native == std::endian::little
                                      ? std::countr_zero(word)
                                      : std::countl_zero(word);
            return length + static_cast<std::size_t>(zero_bits) / 8;
        }
    }
    while (length < most && here[length] == 0)
        ++length;
    return length;
}

}  // namespace

// The longest earlier string within the window that the bytes from at (up to end) repeat, of
// those at the same place in the rows above and the first chain ones of the same hash; returns
// its length (0 if under 3) and sets its distance.
std::size_t PngDeflate::longest_match(std::size_t at, std::size_t end, std::size_t& distance,
                                      int chain) const {
    const std::size_t most = std::min(end - at, MAX_MATCH);
    if (most < MIN_MATCH)
        return 0;
    const std::uint8_t* here = data_.data() + at;
    std::size_t best = MIN_MATCH - 1;
    // Takes the string at from if it is the longest yet; true when nothing longer can be had.
    const auto consider = [&](std::size_t from) {
        const std::uint8_t* there = data_.data() + from;
        if (there[best] != here[best] || there[0] != here[0])
            return false;
        const std::size_t length = common_length(there, here, most);
        if (length <= best)
            return false;
        best = length;
        distance = at - from;
        return length == most;
    };
    // First the same place in the rows given in full above, the likeliest to repeat this one:
    // a picture's rows repeat the ones above, one scaled row or one character row up.
    const std::size_t offset = at - row_starts_.back();
    bool done = false;
    for (std::size_t row = row_starts_.size() - 1, tried = 0;
         row-- > 0 && tried < MAX_ROWS_ABOVE && !done; ++tried) {
        const std::size_t from = row_starts_[row] + offset;
        if (at - from > WINDOW)
            break;
        done = consider(from);
    }
    std::int32_t candidate = most >= HASHED ? head_[hash_at(at)] : -1;
    for (; !done && candidate >= 0 && chain > 0; --chain) {
        const auto from = static_cast<std::size_t>(candidate);
        if (at - from > WINDOW || consider(from))
            break;
        const std::int32_t next = previous_[from % WINDOW];
        if (next >= candidate)
            break;
        candidate = next;
    }
    return best >= MIN_MATCH ? best : 0;
}

// Finds the symbols of the row just added: runs of zeros as copies of a zero, other bytes as the
// longest match at this byte or the next, or as literals.
void PngDeflate::parse_row(std::size_t start) {
    const std::size_t end = start + line_;
    // Strings that run past the row are not searched for: the rows after it are not known yet.
    const std::size_t last_string = end - (HASHED - 1);
    std::size_t at = start;
    while (at < end) {
        if (data_[at] == 0) {
            const std::size_t run = zero_run(data_.data() + at, end - at);
            if (run >= MIN_MATCH || last_zero_) {
                zeros(run);
                at += run;
                continue;
            }
        }
        std::size_t distance = 0;
        std::size_t length = longest_match(at, end, distance, MAX_CHAIN);
        if (length != 0 && length < MAX_MATCH && at + 1 < last_string) {
            // A longer match at the next byte is worth a literal first.
            insert(at);
            std::size_t later_distance = 0;
            const std::size_t later = longest_match(at + 1, end, later_distance, LAZY_CHAIN);
            if (later > length) {
                literal(data_[at]);
                ++at;
                length = later;
                distance = later_distance;
                insert(at);
            }
        } else if (at < last_string) {
            insert(at);
        }
        if (length == 0) {
            literal(data_[at]);
            ++at;
            continue;
        }
        match(length, distance);
        last_zero_ = data_[at + length - 1] == 0;
        for (std::size_t inside = at + 1; inside < std::min(at + length, last_string); ++inside)
            insert(inside);
        at += length;
    }
}

void PngDeflate::add_row(std::span<const std::uint8_t> row) {
    assert(row.size() == line_);
    above_up_repeat_ = false;
    above_zeros_ = std::all_of(row.begin(), row.end(), [](std::uint8_t byte) { return byte == 0; });
    const std::size_t start = data_.size();
    row_starts_.push_back(start);
    data_.insert(data_.end(), row.begin(), row.end());
    parse_row(start);
}

void PngDeflate::repeat_row() {
    const std::size_t start = data_.size();
    assert(start >= line_);
    const bool above_repeat = above_up_repeat_;
    above_up_repeat_ = !above_zeros_;
    if (above_zeros_) {
        data_.resize(start + line_, 0);
        zeros(line_);
        return;
    }
    constexpr std::uint8_t FILTER_UP = 2;
    data_.push_back(FILTER_UP);
    data_.resize(start + line_, 0);
    // The zeros that end the row above go as copies of the zero before them, up to the last
    // piece, which goes with the start of this row (its filter byte too) as one copy of the row
    // above, when the row above is this row's bytes again and the bytes before it end in zeros
    // as many: that is what a search finds best, and the rest of this row is a run of zeros.
    const std::size_t tail = pending_zeros_ % MAX_MATCH;
    if (!above_repeat || tail + line_ < MIN_MATCH || tail + line_ > start ||
        zero_run(data_.data() + (start - line_ - tail), tail) != tail) {
        literal(FILTER_UP);
        zeros(line_ - 1);
        return;
    }
    for (; pending_zeros_ > tail; pending_zeros_ -= MAX_MATCH)
        symbols_.push_back({static_cast<std::uint16_t>(MAX_MATCH), 1});
    pending_zeros_ = 0;
    const std::size_t length = std::min(MAX_MATCH, tail + line_);
    symbols_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(line_)});
    const std::size_t covered = length - tail;  // The bytes of this row in the copy, 1 or more.
    last_zero_ = covered >= 2;
    zeros(line_ - covered);
}

void PngDeflate::finish(std::vector<std::uint8_t>& file) {
    flush_zeros();
    std::vector<std::uint64_t> literal_counts(LITERAL_LENGTH_CODES, 0);
    std::vector<std::uint64_t> distance_counts(DISTANCE_CODES, 0);
    for (const Symbol& symbol : symbols_) {
        if (symbol.distance == 0) {
            ++literal_counts[symbol.value];
        } else {
            ++literal_counts[257 + LENGTH_CODE[symbol.value]];
            ++distance_counts[distance_code(symbol.distance)];
        }
    }
    ++literal_counts[END_OF_BLOCK];
    if (std::accumulate(distance_counts.begin(), distance_counts.end(), std::uint64_t{0}) == 0)
        distance_counts[0] = 1;  // A code of one unused distance, as a block without matches has.
    const auto literal_lengths = code_lengths(literal_counts, 15);
    const auto distance_lengths = code_lengths(distance_counts, 15);
    std::size_t literal_used = LITERAL_LENGTH_CODES;
    while (literal_lengths[literal_used - 1] == 0)
        --literal_used;
    std::size_t distance_used = DISTANCE_CODES;
    while (distance_lengths[distance_used - 1] == 0)
        --distance_used;
    std::vector<std::uint8_t> all_lengths(
        literal_lengths.begin(),
        literal_lengths.begin() + static_cast<std::ptrdiff_t>(literal_used));
    all_lengths.insert(all_lengths.end(), distance_lengths.begin(),
                       distance_lengths.begin() + static_cast<std::ptrdiff_t>(distance_used));
    const auto items = run_length_items(all_lengths);
    std::vector<std::uint64_t> item_counts(CODE_LENGTH_CODES, 0);
    for (const LengthItem& item : items)
        ++item_counts[item.code];
    const auto item_lengths = code_lengths(item_counts, 7);
    const auto item_codes = canonical_codes(item_lengths);
    std::size_t item_lengths_used = CODE_LENGTH_CODES;
    while (item_lengths_used > 4 && item_lengths[CODE_LENGTH_ORDER[item_lengths_used - 1]] == 0)
        --item_lengths_used;

    // The zlib header: deflate with a 32 KiB window, the densest compression, no dictionary.
    file.push_back(0x78);
    file.push_back(0xDA);
    BitWriter bits(file);
    bits.put(1, 1);  // The last block,
    bits.put(2, 2);  // of dynamic Huffman codes.
    bits.put(static_cast<unsigned>(literal_used - 257), 5);
    bits.put(static_cast<unsigned>(distance_used - 1), 5);
    bits.put(static_cast<unsigned>(item_lengths_used - 4), 4);
    for (std::size_t k = 0; k < item_lengths_used; ++k)
        bits.put(item_lengths[CODE_LENGTH_ORDER[k]], 3);
    for (const LengthItem& item : items) {
        bits.put(item_codes[item.code], item_lengths[item.code]);
        if (item.code >= 16)
            bits.put(item.extra, item.code == 16 ? 2 : item.code == 17 ? 3 : 7);
    }
    const auto literal_codes = canonical_codes(literal_lengths);
    const auto distance_codes = canonical_codes(distance_lengths);
    for (const Symbol& symbol : symbols_) {
        if (symbol.distance == 0) {
            bits.put(literal_codes[symbol.value], literal_lengths[symbol.value]);
            continue;
        }
        const std::size_t length_code = LENGTH_CODE[symbol.value];
        bits.put(literal_codes[257 + length_code], literal_lengths[257 + length_code]);
        bits.put(symbol.value - LENGTH_BASE[length_code], LENGTH_EXTRA[length_code]);
        const std::size_t code = distance_code(symbol.distance);
        bits.put(distance_codes[code], distance_lengths[code]);
        bits.put(symbol.distance - DISTANCE_BASE[code], DISTANCE_EXTRA[code]);
    }
    bits.put(literal_codes[END_OF_BLOCK], literal_lengths[END_OF_BLOCK]);
    bits.align();
    const std::uint32_t adler = libdeflate_adler32(1, data_.data(), data_.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(adler >> shift));
}

}  // namespace mirva::pictures
