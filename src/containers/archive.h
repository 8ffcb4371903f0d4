#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "containers/libarchive_library.h"

namespace mirva::containers {

/// The most bytes a member may inflate to; one byte more and the archive counts as damaged.
inline constexpr std::size_t MAX_MEMBER_BYTES = std::size_t{64} << 20;

/// The archive formats read: a zip file, or one file compressed with gzip.
enum class ArchiveFormat : std::uint8_t { zip, gzip };

/// A member of an archive, read whole.
struct ArchiveMember {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

/// Takes a member's name; true when it is the member to read.
using MemberFilter = std::function<bool(std::string_view name)>;

/// Reads the archive of the format from source with the library: returns the first regular
/// member, in archive order, whose name wanted accepts, read whole into memory; nothing when it
/// accepts none. The content of a gzip file is named as path without its last extension
/// ("game.tzx.gz" holds "game.tzx"). Fails with "Error leyendo del fichero %s" and path when the
/// archive is damaged or the member inflates past MAX_MEMBER_BYTES.
std::optional<ArchiveMember> read_archive_member(const LibarchiveLibrary& library,
                                                 base::ByteSource& source, ArchiveFormat format,
                                                 std::string_view path, const MemberFilter& wanted);

/// read_archive_member for a zip file, with the libarchive of LIBARCHIVE_NAME; fails also with
/// "No se encuentra la biblioteca %s".
std::optional<ArchiveMember> read_zip_member(base::ByteSource& source, std::string_view path,
                                             const MemberFilter& wanted);

/// read_archive_member for a gzip file, with the libarchive of LIBARCHIVE_NAME; fails also with
/// "No se encuentra la biblioteca %s".
std::optional<ArchiveMember> read_gzip_member(base::ByteSource& source, std::string_view path,
                                              const MemberFilter& wanted);

}  // namespace mirva::containers
