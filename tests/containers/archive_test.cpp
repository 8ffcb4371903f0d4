#include "containers/archive.h"

#include <gtest/gtest.h>

#include "support/archive_files.h"
#include "support/expect_failure.h"
#include "support/test_card.h"

namespace mirva::containers {
namespace {

using testing::python_gzip;
using testing::python_zeros;
using testing::python_zip;

const LibarchiveLibrary& libarchive() {
    static const LibarchiveLibrary library = load_libarchive();
    return library;
}

std::vector<std::uint8_t> bytes_of(const auto& container) {
    return {container.begin(), container.end()};
}

// Reads the archive, keeping every name it offers; the filter takes names ending in ".z80" or
// ".scr".
struct Reading {
    std::vector<std::string> offered;
    std::optional<ArchiveMember> member;
};

Reading read(const std::vector<std::uint8_t>& bytes, ArchiveFormat format,
             std::string_view path = "in.zip") {
    Reading reading;
    base::MemorySource source(bytes);
    reading.member =
        read_archive_member(libarchive(), source, format, path, [&](std::string_view name) {
            reading.offered.emplace_back(name);
            return name.ends_with(".z80") || name.ends_with(".scr");
        });
    return reading;
}

const std::vector<std::uint8_t> TEXT{'h', 'o', 'l', 'a', '\n'};

TEST(ReadArchiveMember, GivesTheFirstWantedMemberInArchiveOrder) {
    auto wanted = bytes_of(testing::make_random_screen(7));
    auto later = bytes_of(testing::make_test_card());
    for (bool deflated : {false, true}) {
        // The folder is never offered; the member after the one taken is never looked at.
        auto zip = python_zip(
            {{"readme.txt", TEXT}, {"dir/", {}}, {"dir/game.z80", wanted}, {"a.scr", later}},
            deflated);
        Reading reading = read(zip, ArchiveFormat::zip);
        ASSERT_TRUE(reading.member.has_value()) << deflated;
        EXPECT_EQ(reading.member->name, "dir/game.z80");
        EXPECT_EQ(reading.member->bytes, wanted);
        EXPECT_EQ(reading.offered, (std::vector<std::string>{"readme.txt", "dir/game.z80"}));
    }
}

TEST(ReadArchiveMember, GivesTheContentOfAGzipFileNamedWithoutItsExtension) {
    auto card = bytes_of(testing::make_test_card());
    Reading reading = read(python_gzip(card), ArchiveFormat::gzip, "old.dir/game.scr.GZ");
    ASSERT_TRUE(reading.member.has_value());
    EXPECT_EQ(reading.member->name, "old.dir/game.scr");
    EXPECT_EQ(reading.member->bytes, card);
}

TEST(ReadArchiveMember, GivesNothingWhenNoNameIsWanted) {
    Reading reading =
        read(python_zip({{"readme.txt", TEXT}, {"inner.zip", TEXT}}, true), ArchiveFormat::zip);
    EXPECT_FALSE(reading.member.has_value());
    EXPECT_EQ(reading.offered, (std::vector<std::string>{"readme.txt", "inner.zip"}));
    // A zip without members gives libarchive's central-directory reader nothing to take: it is
    // refused as unreadable, not as empty.
    EXPECT_FAILURE(read(python_zip({}, false), ArchiveFormat::zip),
                   "Error leyendo del fichero in.zip");
    reading = read(python_gzip(TEXT), ArchiveFormat::gzip, "notes.txt.gz");
    EXPECT_FALSE(reading.member.has_value());
    EXPECT_EQ(reading.offered, (std::vector<std::string>{"notes.txt"}));
}

TEST(ReadArchiveMember, RefusesDamagedArchives) {
    auto card = bytes_of(testing::make_test_card());
    auto zip = python_zip({{"card.scr", card}}, true);
    auto gzip = python_gzip(card);
    auto cut = [](std::vector<std::uint8_t> bytes, std::size_t count) {
        bytes.resize(bytes.size() - count);
        return bytes;
    };
    // A byte of the deflated data changed: the member's CRC no longer matches.
    auto flipped_data = zip;
    flipped_data[30 + 8 + 40] ^= 0x01;
    auto flipped_gzip = gzip;
    flipped_gzip[gzip.size() / 2] ^= 0x01;
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> zips{
        {"empty", {}},
        {"a screen, not a zip", card},
        {"all but the local header cut", cut(zip, zip.size() - 40)},
        {"half of it cut", cut(zip, zip.size() / 2)},
        {"deflated data damaged", flipped_data},
    };
    for (const auto& [what, bytes] : zips) {
        SCOPED_TRACE(what);
        EXPECT_FAILURE(read(bytes, ArchiveFormat::zip, "bad.zip"),
                       "Error leyendo del fichero bad.zip");
    }
    auto trailing = gzip;
    trailing.push_back(0);
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> gzips{
        {"empty", {}},
        {"empty content", python_gzip({})},
        {"a byte after the stream", trailing},
        {"a screen, not gzip", card},
        {"the trailer cut", cut(gzip, 4)},
        {"half of it cut", cut(gzip, gzip.size() / 2)},
        {"deflated data damaged", flipped_gzip},
    };
    for (const auto& [what, bytes] : gzips) {
        SCOPED_TRACE(what);
        EXPECT_FAILURE(read(bytes, ArchiveFormat::gzip, "bad.scr.gz"),
                       "Error leyendo del fichero bad.scr.gz");
    }
}

TEST(ReadArchiveMember, RefusesMembersInflatingPastTheLimit) {
    auto card = bytes_of(testing::make_test_card());
    // As large as allowed: read whole.
    Reading full = read(python_zeros("big.scr", card, MAX_MEMBER_BYTES), ArchiveFormat::zip);
    ASSERT_TRUE(full.member.has_value());
    EXPECT_EQ(full.member->bytes.size(), MAX_MEMBER_BYTES);
    EXPECT_TRUE(std::equal(card.begin(), card.end(), full.member->bytes.begin()));
    full.member.reset();

    auto bomb = python_zeros("big.scr", card, MAX_MEMBER_BYTES + 1);
    EXPECT_FAILURE(read(bomb, ArchiveFormat::zip, "bomb.zip"),
                   "Error leyendo del fichero bomb.zip");
    EXPECT_FAILURE(read(python_zeros("", card, MAX_MEMBER_BYTES + 1, true), ArchiveFormat::gzip,
                        "bomb.scr.gz"),
                   "Error leyendo del fichero bomb.scr.gz");
    // The sizes the headers claim change nothing: here both say 6912 bytes.
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
    EXPECT_FAILURE(read(bomb, ArchiveFormat::zip, "bomb.zip"),
                   "Error leyendo del fichero bomb.zip");
}

TEST(LoadLibarchive, NamesTheLibraryThatIsMissing) {
    EXPECT_FAILURE(load_libarchive("libarchive-missing.so.99"),
                   "No se encuentra la biblioteca libarchive-missing.so.99");
    EXPECT_NO_THROW(load_libarchive(LIBARCHIVE_NAME));
}

}  // namespace
}  // namespace mirva::containers
