#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong::dropbox_content_hash {

// Dropbox's content hash of a file: the SHA-256 of the concatenated SHA-256 digests of its 4 MiB
// blocks, as 64 lower-case hex digits. The empty file hashes the empty concatenation.
std::string ofBytes(std::string_view bytes);
Result<std::string> ofFile(const std::filesystem::path& file);

}  // namespace ravelong::dropbox_content_hash
