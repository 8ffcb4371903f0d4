#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "containers/archive.h"
#include "screen/options.h"
#include "screen/palette.h"
#include "screen/rgb_picture.h"
#include "screen/screen_image.h"

namespace mirva::cli {

/// Every kind of file the program knows. A switch over kinds names every one: a new kind that a
/// switch forgets is a compiler warning, an error in CI.
enum class FileKind : std::uint8_t {
    none,
    scr,
    tap,
    sp,
    sna,
    sit,
    z80,
    slt,
    szx,
    tzx,
    pzx,
    gif,
    pcx,
    png,
    jpeg,
    zip,
    gz
};

inline constexpr FileKind KIND_NONE = FileKind::none;
inline constexpr FileKind KIND_SCR = FileKind::scr;
inline constexpr FileKind KIND_TAP = FileKind::tap;
inline constexpr FileKind KIND_SP = FileKind::sp;
inline constexpr FileKind KIND_SNA = FileKind::sna;
inline constexpr FileKind KIND_SIT = FileKind::sit;
inline constexpr FileKind KIND_Z80 = FileKind::z80;
inline constexpr FileKind KIND_SLT = FileKind::slt;
inline constexpr FileKind KIND_SZX = FileKind::szx;
inline constexpr FileKind KIND_TZX = FileKind::tzx;
inline constexpr FileKind KIND_PZX = FileKind::pzx;
inline constexpr FileKind KIND_GIF = FileKind::gif;
inline constexpr FileKind KIND_PCX = FileKind::pcx;
inline constexpr FileKind KIND_PNG = FileKind::png;
inline constexpr FileKind KIND_JPEG = FileKind::jpeg;
inline constexpr FileKind KIND_ZIP = FileKind::zip;
inline constexpr FileKind KIND_GZ = FileKind::gz;

/// What a kind holds, which decides what it can be converted to.
enum class Family : std::uint8_t {
    none,
    screen,    // One bare screen: SCR, TAP.
    snapshot,  // Emulator snapshots and tapes, read only.
    picture,   // PC pictures.
    archive,   // Archives: one member is read, and its own kind decides the rest.
};

inline constexpr Family FAMILY_SCREEN = Family::screen;
inline constexpr Family FAMILY_SNAPSHOT = Family::snapshot;
inline constexpr Family FAMILY_PICTURE = Family::picture;
inline constexpr Family FAMILY_ARCHIVE = Family::archive;

/// Takes a Spectrum source; returns its screen and sets border_colour where the file has one.
using ScreenReader = screen::ScreenImage (*)(base::ByteSource& source, std::string_view path,
                                             std::uint8_t& border_colour);
/// Takes a picture source with a palette and the largest picture to take; returns its picture
/// and fills picture_palette.
using PictureReader = screen::Picture (*)(base::ByteSource& source,
                                          screen::Palette& picture_palette,
                                          screen::PictureLimit limit);
/// Takes a picture source without a palette; returns its picture scaled down to fit a screen.
using RgbReader = screen::RgbPicture (*)(base::ByteSource& source);
/// Takes an archive source; returns its first member whose name wanted accepts, or nothing.
using ArchiveReader = std::optional<containers::ArchiveMember> (*)(
    base::ByteSource& source, std::string_view path, const containers::MemberFilter& wanted);
/// Takes a screen, its border colour, the options and the size to write; returns the file.
using ScreenWriter = std::vector<std::uint8_t> (*)(const screen::ScreenImage& screen,
                                                   std::uint8_t border_colour,
                                                   const screen::Options& options,
                                                   screen::PictureSize size);

/// One row of the table of kinds. A kind is a source when it has a reader (a Spectrum kind a
/// screen reader, a picture a picture or RGB reader, an archive an archive reader) and a
/// destination when it has a writer.
struct KindRow {
    FileKind kind = FileKind::none;
    std::array<std::string_view, 2> extensions{};  // Upper case, with the dot; "" when unused.
    Family family = Family::none;
    ScreenReader read_screen = nullptr;
    PictureReader read_picture = nullptr;
    ScreenWriter write = nullptr;
    std::string_view description;  // What is taken from it or written, for --help.
    bool animates = false;         // The writer can show both flash phases (--flash).
    ArchiveReader read_archive = nullptr;
    RgbReader read_rgb = nullptr;  // A picture kind without a palette.
};

/// The table of kinds, one row per kind but none, in the order of FileKind.
std::span<const KindRow> kind_table();

/// The row of a kind other than none.
const KindRow& kind_row(FileKind kind);

/// The family of a kind (none for KIND_NONE).
Family family_of(FileKind kind);

/// True when files of the kind can be read.
bool is_source_kind(FileKind kind);

/// Returns the kind whose extension (upper case, with its dot) this is, or KIND_NONE.
FileKind kind_of_extension(std::string_view extension);

}  // namespace mirva::cli
