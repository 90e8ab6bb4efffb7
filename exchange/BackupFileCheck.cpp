#include "exchange/BackupFileCheck.h"

#include "exchange/BackupFilePass.h"
#include "exchange/BackupSchemas.h"
#include "exchange/BackupTexts.h"
#include "exchange/IntegrityDigest.h"
#include "foundation/Log.h"

namespace ravelong {

namespace texts = backup_texts;

int backupGenerationOfRoot(std::string_view rootName) {
    if (rootName == texts::kRootV1)
        return 1;
    if (rootName == texts::kRootV3)
        return 3;
    return 2;
}

Result<BackupFileInfo> checkBackupFile(const std::filesystem::path& file) {
    BackupFileInfo info;
    info.file = file;
    // The schema must be known before the validating pass starts: a first look reads only up to
    // the root element.
    BackupFilePass look(file);
    look.setStopAfterRoot(true);
    if (Status looked = look.run(); !looked) {
        logError("checkBackupFile", looked.error().description);
        return looked.error();
    }
    info.generation = backupGenerationOfRoot(look.rootName());
    auto schema = backup_schemas::schemaFile(info.generation);
    if (!schema)
        return schema.error();

    IntegrityDigest whole;
    BackupFilePass validation(file);
    validation.setSchema(*schema);
    validation.setDigest(&whole);
    if (Status validated = validation.run(); !validated) {
        logError("checkBackupFile", validated.error().description);
        return validated.error();
    }
    logInfo("checkBackupFile", file.string() + " validates");
    info.storedCode = validation.rootId().value_or("");
    info.progressMaximum = validation.progressElements();
    info.computedCode = whole.hex();
    return info;
}

}  // namespace ravelong
