#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "foundation/Error.h"

namespace ravelong {

// What checking a backup file found: its generation, whether its integrity value matches, and
// how many steps reading it takes.
struct BackupFileInfo {
    std::filesystem::path file;
    int generation = 3;                 // 1 ("tasks"), 3 ("dataV3"), else 2
    std::string storedCode;             // the root's "id" ("" without one)
    std::string computedCode;           // the digest of the root element without "id"
    std::uint64_t progressMaximum = 0;  // origins, tasks and timings in the file

    bool integrityMatches() const { return !storedCode.empty() && storedCode == computedCode; }
};

// Checks a backup file before it is read: learns the generation from the root element,
// validates the file against that generation's schema and computes its integrity value, all in
// streaming passes (BackupFilePass). The Error tells a file that cannot be parsed
// (kBackupUnreadableCode, "Could not parse <file>"), one that does not match its schema
// (kBackupInvalidCode, "<file> fails to validate") and missing schemas
// (kBackupSchemaMissingCode). A file whose integrity value differs is not an error here: the
// caller decides (see BackupFileInfo::integrityMatches).
Result<BackupFileInfo> checkBackupFile(const std::filesystem::path& file);

// The generation a root element name stands for.
int backupGenerationOfRoot(std::string_view rootName);

}  // namespace ravelong
