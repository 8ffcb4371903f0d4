#include "containers/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "support/archive_files.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using testing::python_gzip;
using testing::python_zeros;
using testing::python_zip;
using testing::python_zip_method;
using Bytes = std::vector<std::uint8_t>;
using Reader = std::optional<ArchiveMember> (*)(base::ByteSource&, std::string_view,
                                                const MemberFilter&);

Bytes bytes_of(const auto& container) {
    return {container.begin(), container.end()};
}

Bytes operator+(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Reads the archive, keeping every name it offers; the filter takes names ending in ".z80" or
// ".scr".
struct Reading {
    std::vector<std::string> offered;
    std::optional<ArchiveMember> member;
};

Reading read(const Bytes& bytes, Reader reader, std::string_view path = "in.zip") {
    Reading reading;
    base::MemorySource source(bytes);
    reading.member = reader(source, path, [&](std::string_view name) {
        reading.offered.emplace_back(name);
        return name.ends_with(".z80") || name.ends_with(".scr");
    });
    return reading;
}

// The offset of the first central directory record ("PK\1\2") of a zip file.
std::size_t central_record(const Bytes& zip) {
    const std::array<std::uint8_t, 4> signature{'P', 'K', 1, 2};
    auto found = std::search(zip.begin(), zip.end(), signature.begin(), signature.end());
    EXPECT_NE(found, zip.end());
    return static_cast<std::size_t>(found - zip.begin());
}

// The zip with its first member's general purpose flags ORed with flags, in the local header
// (offset 6) and in the central directory (offset 8 of the record).
Bytes with_first_flags(Bytes zip, std::uint8_t flags) {
    zip[6] |= flags;
    zip[central_record(zip) + 8] |= flags;
    return zip;
}

const Bytes TEXT{'h', 'o', 'l', 'a', '\n'};

TEST(ReadZipMember, GivesTheFirstReadableWantedMemberInArchiveOrder) {
    const auto wanted = bytes_of(testing::make_random_screen(7));
    const auto later = bytes_of(testing::make_test_card());
    // Folders and encrypted members are never offered; the member after the one taken is never
    // looked at.
    struct Case {
        std::string what;
        Bytes zip;
        std::vector<std::string> offered;
    };
    std::vector<Case> cases{
        {"stored",
         python_zip(
             {{"readme.txt", TEXT}, {"dir/", {}}, {"dir/game.z80", wanted}, {"a.scr", later}},
             false),
         {"readme.txt", "dir/game.z80"}},
        {"deflated",
         python_zip(
             {{"readme.txt", TEXT}, {"dir/", {}}, {"dir/game.z80", wanted}, {"a.scr", later}},
             true),
         {"readme.txt", "dir/game.z80"}},
        {"encrypted first",
         with_first_flags(python_zip({{"secret.scr", later}, {"dir/game.z80", wanted}}, false),
                          0x01),
         {"dir/game.z80"}},
    };
    // Records spread over many reads of the file: a central directory of some 50 KiB.
    std::vector<testing::ArchiveEntry> many;
    std::vector<std::string> many_names;
    for (int index = 0; index < 1000; ++index) {
        many_names.push_back("notes/note" + std::to_string(index) + ".txt");
        many.emplace_back(many_names.back(), TEXT);
    }
    many.emplace_back("dir/game.z80", wanted);
    many_names.emplace_back("dir/game.z80");
    cases.push_back({"after a thousand others", python_zip(many, true), many_names});
    for (const auto& [what, zip, offered] : cases) {
        SCOPED_TRACE(what);
        Reading reading = read(zip, read_zip_member);
        EXPECT_EQ(reading.offered, offered);
        ASSERT_TRUE(reading.member.has_value());
        EXPECT_EQ(reading.member->name, "dir/game.z80");
        EXPECT_EQ(reading.member->bytes, wanted);
    }
}

TEST(ReadZipMember, PassesOverMembersOfMethodsNotRead) {
    const auto card = bytes_of(testing::make_test_card());
    for (const std::string method : {"bzip2", "lzma"}) {
        SCOPED_TRACE(method);
        Reading reading =
            read(python_zip_method({{"a.scr", card}, {"b.txt", TEXT}}, method), read_zip_member);
        EXPECT_FALSE(reading.member.has_value());
        EXPECT_TRUE(reading.offered.empty());
    }
}

TEST(ReadGzipMember, GivesTheContentNamedWithoutItsExtension) {
    const auto card = bytes_of(testing::make_test_card());
    const Bytes head(card.begin(), card.begin() + 1000);
    const Bytes tail(card.begin() + 1000, card.end());
    // Members one after another make one content, as gzip -d makes it; an empty one adds
    // nothing.
    const std::vector<std::pair<Bytes, Bytes>> cases{
        {python_gzip(card), card},
        {python_gzip(head) + python_gzip({}) + python_gzip(tail), card},
        {python_gzip({}), {}},
    };
    for (const auto& [gzip, content] : cases) {
        Reading reading = read(gzip, read_gzip_member, "old.dir/game.scr.GZ");
        ASSERT_TRUE(reading.member.has_value());
        EXPECT_EQ(reading.member->name, "old.dir/game.scr");
        EXPECT_EQ(reading.member->bytes, content);
    }
}

TEST(ReadArchiveMember, GivesNothingWhenNoNameIsWanted) {
    Reading reading =
        read(python_zip({{"readme.txt", TEXT}, {"inner.zip", TEXT}}, true), read_zip_member);
    EXPECT_FALSE(reading.member.has_value());
    EXPECT_EQ(reading.offered, (std::vector<std::string>{"readme.txt", "inner.zip"}));
    // A zip without members is its end record alone, at offset 0, where minizip does not look
    // for it: it is refused as unreadable, not as empty.
    EXPECT_FAILURE(read(python_zip({}, false), read_zip_member),
                   "Error leyendo del fichero in.zip");
    reading = read(python_gzip(TEXT), read_gzip_member, "notes.txt.gz");
    EXPECT_FALSE(reading.member.has_value());
    EXPECT_EQ(reading.offered, (std::vector<std::string>{"notes.txt"}));
}

TEST(ReadArchiveMember, RefusesDamagedArchives) {
    const auto card = bytes_of(testing::make_test_card());
    const auto zip = python_zip({{"card.scr", card}}, true);
    const auto stored = python_zip({{"card.scr", card}}, false);
    const auto gzip = python_gzip(card);
    auto cut = [](Bytes bytes, std::size_t count) {
        bytes.resize(bytes.size() - count);
        return bytes;
    };
    auto flipped = [](Bytes bytes, std::size_t at) {
        bytes.at(at) ^= 0x01;
        return bytes;
    };
    // The CRC-32 of a zip member: offset 14 of its local header, 16 of its central record.
    const std::size_t central = central_record(stored);
    const std::vector<std::pair<std::string, Bytes>> zips{
        {"empty", {}},
        {"a screen, not a zip", card},
        {"all but the local header cut", cut(zip, zip.size() - 40)},
        {"half of it cut", cut(zip, zip.size() / 2)},
        {"deflated data damaged", flipped(zip, 30 + 8 + 40)},
        {"stored data damaged", flipped(stored, 30 + 8 + 100)},
        {"the CRC changed in both headers", flipped(flipped(stored, 14), central + 16)},
    };
    for (const auto& [what, bytes] : zips) {
        SCOPED_TRACE(what);
        EXPECT_FAILURE(read(bytes, read_zip_member, "bad.zip"),
                       "Error leyendo del fichero bad.zip");
    }
    // The gzip trailer: the CRC-32, then the length modulo 2^32, of the content.
    const std::vector<std::pair<std::string, Bytes>> gzips{
        {"empty", {}},
        {"a screen, not gzip", card},
        {"a byte after the stream", gzip + Bytes{0}},
        {"zeros after the stream", gzip + Bytes(512, 0)},
        {"the trailer cut", cut(gzip, 4)},
        {"half of it cut", cut(gzip, gzip.size() / 2)},
        {"a second member cut", gzip + cut(gzip, 1)},
        {"deflated data damaged", flipped(gzip, gzip.size() / 2)},
        {"the CRC changed", flipped(gzip, gzip.size() - 8)},
        {"the length changed", flipped(gzip, gzip.size() - 4)},
    };
    for (const auto& [what, bytes] : gzips) {
        SCOPED_TRACE(what);
        EXPECT_FAILURE(read(bytes, read_gzip_member, "bad.scr.gz"),
                       "Error leyendo del fichero bad.scr.gz");
    }
}

TEST(ReadArchiveMember, RefusesMembersInflatingPastTheLimit) {
    const auto card = bytes_of(testing::make_test_card());
    for (bool gzip : {false, true}) {
        SCOPED_TRACE(gzip ? "gzip" : "zip");
        const Reader reader = gzip ? read_gzip_member : read_zip_member;
        // As large as allowed: read whole.
        Reading full =
            read(python_zeros("big.scr", card, MAX_MEMBER_BYTES, gzip), reader, "big.scr.gz");
        ASSERT_TRUE(full.member.has_value());
        EXPECT_EQ(full.member->bytes.size(), MAX_MEMBER_BYTES);
        EXPECT_TRUE(std::equal(card.begin(), card.end(), full.member->bytes.begin()));
        full.member.reset();
        EXPECT_FAILURE(
            read(python_zeros("big.scr", card, MAX_MEMBER_BYTES + 1, gzip), reader, "bomb.scr.gz"),
            "Error leyendo del fichero bomb.scr.gz");
    }
    // The sizes a zip's headers claim change nothing: here both say 6912 bytes.
    auto bomb = python_zeros("big.scr", card, MAX_MEMBER_BYTES + 1);
    std::size_t patched = 0;
    const std::uint64_t claimed = MAX_MEMBER_BYTES + 1;
    for (std::size_t at = 0; at + 4 <= bomb.size(); ++at) {
        if (base::little_endian_32(bomb, at) == claimed) {
            for (std::size_t byte = 0; byte < 4; ++byte)
                bomb[at + byte] = static_cast<std::uint8_t>((6912u >> (8 * byte)) & 0xFF);
            ++patched;
        }
    }
    EXPECT_GE(patched, 2u);  // The local header and the central directory.
    EXPECT_FAILURE(read(bomb, read_zip_member, "bomb.zip"), "Error leyendo del fichero bomb.zip");
}

// A gzip stream that never ends: a header, then empty stored deflate blocks (BFINAL 0, BTYPE 00,
// padding, LEN 0000, NLEN FFFF) for ever. It inflates to nothing at all.
class EndlessGzip final : public base::ByteSource {
public:
    std::uint64_t read_total = 0;

    std::size_t read(std::span<std::uint8_t> out) override {
        static constexpr std::array<std::uint8_t, 10> HEADER{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
        static constexpr std::array<std::uint8_t, 5> EMPTY_BLOCK{0x00, 0x00, 0x00, 0xFF, 0xFF};
        for (std::uint8_t& byte : out) {
            byte = read_total < HEADER.size()
                       ? HEADER[read_total]
                       : EMPTY_BLOCK[(read_total - HEADER.size()) % EMPTY_BLOCK.size()];
            ++read_total;
        }
        return out.size();
    }
    bool seek(std::uint64_t) override { return false; }
    bool skip(std::uint64_t) override { return false; }
    std::optional<std::uint64_t> size() override { return std::nullopt; }
};

TEST(ReadGzipMember, StopsReadingAnEndlessStream) {
    EndlessGzip source;
    EXPECT_FAILURE(
        read_gzip_member(source, "endless.scr.gz", [](std::string_view) { return true; }),
        "Error leyendo del fichero endless.scr.gz");
    EXPECT_GT(source.read_total, MAX_MEMBER_BYTES);
    EXPECT_LE(source.read_total, MAX_ARCHIVE_READ_BYTES);
}

}  // namespace
}  // namespace mirva::containers
