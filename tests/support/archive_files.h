#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mirva::testing {

/// A member of an archive to make: its name and its bytes.
using ArchiveEntry = std::pair<std::string, std::vector<std::uint8_t>>;

/// A zip file made by Python's zipfile with the members in order, stored or deflated.
std::vector<std::uint8_t> python_zip(const std::vector<ArchiveEntry>& members, bool deflated);

/// python_zip with the compression method named: "stored", "deflated", "bzip2" or "lzma".
std::vector<std::uint8_t> python_zip_method(const std::vector<ArchiveEntry>& members,
                                            const std::string& method);

/// A gzip file of the bytes, made by Python's gzip.
std::vector<std::uint8_t> python_gzip(const std::vector<std::uint8_t>& bytes);

/// A zip file whose one deflated member, name, is first the bytes and then zeros up to size
/// bytes; and the same as a gzip file when gzip is set. Made in chunks, so a member of any size
/// costs little.
std::vector<std::uint8_t> python_zeros(const std::string& name,
                                       const std::vector<std::uint8_t>& bytes, std::uint64_t size,
                                       bool gzip = false);

}  // namespace mirva::testing
