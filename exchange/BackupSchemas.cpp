#include "exchange/BackupSchemas.h"

#include <unistd.h>

#include <system_error>

#include "exchange/BackupTexts.h"

namespace ravelong::backup_schemas {

namespace {

std::filesystem::path runningExecutable() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

}  // namespace

std::vector<std::filesystem::path> searchFolders() {
    std::vector<std::filesystem::path> folders;
    const std::filesystem::path executable = runningExecutable();
    if (!executable.empty())
        folders.push_back(executable.parent_path().parent_path() / "share/ravelong/schemas");
    folders.emplace_back(RAVELONG_SCHEMA_INSTALL_DIR);
    folders.emplace_back(RAVELONG_SCHEMA_SOURCE_DIR);
    return folders;
}

Result<std::filesystem::path> schemaFile(int generation) {
    std::string_view name = generation == 1   ? backup_texts::kSchemaV1
                            : generation == 2 ? backup_texts::kSchemaV2
                                              : backup_texts::kSchemaV3;
    std::string searched;
    for (const std::filesystem::path& folder : searchFolders()) {
        std::filesystem::path file = folder / (std::string(name) + ".xsd");
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            return file;
        searched += (searched.empty() ? "" : ", ") + folder.string();
    }
    return Error{kRavelongErrorDomain, backup_texts::kBackupSchemaMissingCode,
                 "The backup file formats are not installed.",
                 "No " + std::string(name) + ".xsd in " + searched + "."};
}

}  // namespace ravelong::backup_schemas
