#pragma once

#include <filesystem>
#include <vector>

#include "foundation/Error.h"

namespace ravelong {

// Where the XML schemas of the three backup generations ("ravelong.xsd", "ravelongv2.xsd",
// "ravelongv3.xsd") are found: beside an installed program in <prefix>/share/ravelong/schemas
// (found from the running executable, then the configured install prefix), else in the source
// tree the program was built from, so that programs run from the build folder find them too.
namespace backup_schemas {

// The folders searched, in order.
std::vector<std::filesystem::path> searchFolders();

// The schema file of a generation (1, 2 or 3); an Error (kBackupSchemaMissingCode) naming the
// folders searched when it is not installed.
Result<std::filesystem::path> schemaFile(int generation);

}  // namespace backup_schemas
}  // namespace ravelong
