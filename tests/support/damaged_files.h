#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace mirva::testing {

/// Every source kind, each once ("sna128" is a 128K SNA).
const std::vector<std::string>& every_source_kind();

/// The extension of a kind's files: the kind, but "sna" for "sna128".
std::string extension_of(const std::string& kind);

/// A valid file of the kind holding the test card, made in code or by the driver itself (PNG
/// and JPEG by ImageMagick's convert from the driver's GIF), using files in dir.
std::vector<std::uint8_t> valid_file(const std::string& kind, const TemporaryDirectory& dir);

/// Every message line, line feed included, that converting source into target may fail with.
std::set<std::string> program_messages(const std::string& source, const std::string& target);

/// Gives a damaged file and what it is; returns false to stop.
using DamagedVisitor = std::function<bool(const std::vector<std::uint8_t>&, const std::string&)>;

/// Visits valid cut at every length near the start and the end, where the headers and the last
/// block lie, and at a stride through the middle (longer through the banks of a 128K
/// snapshot, which no reader parses).
void for_each_truncation(const std::vector<std::uint8_t>& valid, const DamagedVisitor& visit);

/// Visits 150 copies of valid with one to eight bits flipped, most in the first 128 bytes where
/// the structure is, then 40 files of random bytes no longer than valid; the same ones for the
/// same seed.
void for_each_damage(const std::vector<std::uint8_t>& valid, std::uint64_t seed,
                     const DamagedVisitor& visit);

}  // namespace mirva::testing
