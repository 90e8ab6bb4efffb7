#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "app/DataLocations.h"

namespace ravelong {

// What the program does before its application object runs.
namespace process_start {

// Writes into this program's own settings (UserDefaults::standard()), then synchronizes:
// "NSSystemFontSize" 13.0 and "AppleFontSmoothing" 1 for the interface, "ZRSystemVersion" the
// running kernel's minor version, and the number of entries of the legacy folder and of the
// intermediate group folder ("ZRFilesInOldDirectory", "ZRFilesInNewDirectory"), which the launch
// reads to decide on the upgrade of old data. Main thread.
void writeStartPreferences(const DataLocations& locations);

// The minor number of a kernel release text: 1 for "6.1.0-18-amd64", 0 when there is none.
std::int64_t minorVersionOfRelease(std::string_view release);

// The entries of a folder, hidden ones included; 0 for a folder that is missing or unreadable.
std::int64_t numberOfEntriesInDirectory(const std::filesystem::path& folder);

}  // namespace process_start
}  // namespace ravelong
