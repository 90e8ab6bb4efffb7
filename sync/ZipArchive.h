#pragma once

#include <cstdint>
#include <filesystem>

#include "foundation/Error.h"

namespace ravelong::zip_archive {

// The most bytes one archive entry may inflate to unless the caller says otherwise; a sync file
// larger than this is taken for a zip bomb.
inline constexpr std::uint64_t kDefaultInflateLimit = 1024ULL * 1024 * 1024;

// Writes a zip archive at `archive` holding one entry: the file `source`, named after its last
// path component, deflated at zlib's default level, without password. Fails (kSEErrorDomain)
// when the source cannot be read or the archive cannot be written; no partial archive is left.
Status zipSingleFile(const std::filesystem::path& source, const std::filesystem::path& archive);

// Extracts the one entry of `archive` into `directory` under the entry's own name and reports
// that name's full path through `extracted` (when given). Refused with kSEErrorDamagedFile,
// writing nothing: a file that is not a zip archive, an archive with no entry or more than one,
// an entry name that is empty, holds a path separator or is "." or "..", a password-protected
// entry, data that fails its checksum, and an entry that inflates past `inflateLimit` bytes.
// An existing file of the entry's name is never overwritten (kSEErrorFileExists). The file
// appears whole or not at all.
Status unzipSingleFile(const std::filesystem::path& archive, const std::filesystem::path& directory,
                       std::uint64_t inflateLimit = kDefaultInflateLimit,
                       std::filesystem::path* extracted = nullptr);

}  // namespace ravelong::zip_archive
