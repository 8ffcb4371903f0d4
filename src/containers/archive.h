#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"

namespace mirva::containers {

/// The most bytes a member may inflate to; one byte more and the archive counts as damaged.
inline constexpr std::size_t MAX_MEMBER_BYTES = std::size_t{64} << 20;

/// The most bytes read from an archive file: room for a stored member as large as allowed and
/// for the archive's own records. An archive that needs more counts as damaged, so that no file,
/// however long, is read to its end.
inline constexpr std::uint64_t MAX_ARCHIVE_READ_BYTES = std::uint64_t{2} * MAX_MEMBER_BYTES;

/// A member of an archive, read whole.
struct ArchiveMember {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

/// Takes a member's name; true when it is the member to read.
using MemberFilter = std::function<bool(std::string_view name)>;

/// Reads a zip file from source: returns the first regular member, in archive order, stored or
/// deflated and not encrypted, whose name wanted accepts, read whole into memory and its CRC-32
/// checked; nothing when there is none. Fails with "Error leyendo del fichero %s" and path when
/// the archive is damaged or the member inflates past MAX_MEMBER_BYTES.
std::optional<ArchiveMember> read_zip_member(base::ByteSource& source, std::string_view path,
                                             const MemberFilter& wanted);

/// Reads a gzip file from source: its content is named as path without its last extension
/// ("game.tzx.gz" holds "game.tzx"), and returned whole when wanted accepts that name, nothing
/// otherwise. Several gzip members one after another make one content, as gzip -d makes it.
/// Fails with "Error leyendo del fichero %s" and path when a member's stream, CRC-32 or length
/// is wrong, when bytes that do not begin a member follow the last one, or when the content
/// inflates past MAX_MEMBER_BYTES.
std::optional<ArchiveMember> read_gzip_member(base::ByteSource& source, std::string_view path,
                                              const MemberFilter& wanted);

/// Makes bytes longer by room for the next read, at most chunk bytes and never past
/// MAX_MEMBER_BYTES + 1, growing its capacity by doubling; returns that room, which the caller
/// trims to what it filled. Fails with "Error leyendo del fichero %s" and path when bytes already
/// hold more than MAX_MEMBER_BYTES.
std::span<std::uint8_t> member_room(std::vector<std::uint8_t>& bytes, std::size_t chunk,
                                    std::string_view path);

}  // namespace mirva::containers
