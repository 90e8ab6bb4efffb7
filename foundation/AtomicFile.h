#pragma once

#include <filesystem>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong {

// Codes of kRavelongErrorDomain for file failures met by the foundation library.
inline constexpr int kFileWriteErrorCode = 1001;

// Replaces the file at `path` with `contents` so that a reader (or the next launch after a crash
// or power cut) sees either the old file whole or the new one whole, never a mix:
// the bytes go to a hidden temporary file in the same folder (".<name>.tmp-XXXXXX"), are
// flushed with fsync, and the temporary file is renamed over `path`; the folder is then synced so
// that the rename itself survives. Missing parent folders are created. The new file is readable
// and writable by the owner only (0600).
//
// On failure the previous file is untouched, no temporary file is left behind, and the Error
// (code kFileWriteErrorCode) names the step and the system's reason.
Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace ravelong
