#pragma once

#include <string_view>

// The element names of the backup files and the texts the backup, restore and import show or log.
namespace ravelong::backup_texts {

// Root elements of the three generations (any other root name is the second generation).
inline constexpr std::string_view kRootV1 = "tasks";
inline constexpr std::string_view kRootV3 = "dataV3";
inline constexpr std::string_view kRootV2Written = "dataV2";  // what our sample files use
inline constexpr std::string_view kIdAttribute = "id";

inline constexpr std::string_view kOrigins = "origins";
inline constexpr std::string_view kOriginDescription = "originDescription";
inline constexpr std::string_view kType = "type";
inline constexpr std::string_view kUid = "uid";
inline constexpr std::string_view kUserDate = "userDate";
inline constexpr std::string_view kUser = "user";
inline constexpr std::string_view kUdid = "udid";
inline constexpr std::string_view kDeviceDate = "deviceDate";
inline constexpr std::string_view kDevice = "device";
inline constexpr std::string_view kTasks = "tasks";
inline constexpr std::string_view kTask = "task";
inline constexpr std::string_view kName = "name";
inline constexpr std::string_view kDescription = "description";
inline constexpr std::string_view kArchived = "archived";
inline constexpr std::string_view kColor = "color";
inline constexpr std::string_view kCreatedDay = "createdDay";
inline constexpr std::string_view kUuid = "uuid";
inline constexpr std::string_view kUids = "uids";
inline constexpr std::string_view kDate = "date";
inline constexpr std::string_view kRounding = "rounding";
inline constexpr std::string_view kTaskOrigins = "taskOrigins";
inline constexpr std::string_view kOrigin = "origin";
inline constexpr std::string_view kTimings = "timings";
inline constexpr std::string_view kTiming = "timing";
inline constexpr std::string_view kStartDate = "startDate";
inline constexpr std::string_view kEndDate = "endDate";
inline constexpr std::string_view kNewDay = "newDay";
inline constexpr std::string_view kNote = "note";
inline constexpr std::string_view kTimezone = "timezone";
inline constexpr std::string_view kChildTasks = "childTasks";
inline constexpr std::string_view kBilling = "billing";
inline constexpr std::string_view kMaxDate = "maxDate";
// Generation 1.
inline constexpr std::string_view kId = "id";
inline constexpr std::string_view kTid = "tid";
inline constexpr std::string_view kCid = "cid";
inline constexpr std::string_view kSeconds = "seconds";
inline constexpr std::string_view kOffset = "offset";
inline constexpr std::string_view kAbsDay = "absDay";
inline constexpr std::string_view kDay = "day";
inline constexpr std::string_view kDuration = "duration";
inline constexpr std::string_view kNotes = "notes";

// Schema files, one per generation ("<name>.xsd").
inline constexpr std::string_view kSchemaV1 = "ravelong";
inline constexpr std::string_view kSchemaV2 = "ravelongv2";
inline constexpr std::string_view kSchemaV3 = "ravelongv3";

inline constexpr std::string_view kCouldNotWrite = "Could not write document out...";
inline constexpr std::string_view kBackupFileName = "Ravelong Backup %@ (%ld).xml";
inline constexpr std::string_view kBackupNamePattern =
    R"(Ravelong Backup (19|20)\d\d([- /.])(0[1-9]|1[012])\2(0[1-9]|[12][0-9]|3[01]) \([0-9]{10,11}\).xml)";

inline constexpr std::string_view kNoFileSelected = "No Ravelng XML file selected";
inline constexpr std::string_view kValidating = "Validating XML file...";
inline constexpr std::string_view kValidationError = "Validation generated an error";
inline constexpr std::string_view kNotValid = "The selected file is not a valid Ravelong XML file.";
inline constexpr std::string_view kSelected = "%@ selected";
inline constexpr std::string_view kImporting = "Importing Ravelong data...";
inline constexpr std::string_view kRestoring = "Restoring Ravelong data...";
inline constexpr std::string_view kImported = "Ravelong data successfully imported!";
inline constexpr std::string_view kRestored = "Ravelong data successfully restored!";
inline constexpr std::string_view kImportCounts =
    "%ld tasks imported\n%ld tasks updated\n%ld existing tasks skipped\n\n%ld timings "
    "imported\n%ld timings updated\n%ld existing timings skipped";
inline constexpr std::string_view kRestoreCounts = "%ld tasks restored\n%ld timings restored";
inline constexpr std::string_view kProblem = "There has been a problem during import.";
inline constexpr std::string_view kNoChanges = "No changes have been made.";
inline constexpr std::string_view kParentHasTimings =
    "We have a problem, parent task has timings...";
inline constexpr std::string_view kImportUndoName = "Import Ravelong Data";

// The Backups pane.
inline constexpr std::string_view kAutomaticBackups = "Back up automatically every day";
inline constexpr std::string_view kBackupsKept = "Backups kept:";
inline constexpr std::string_view kBackupFolder = "Backup folder:";
inline constexpr std::string_view kChooseFolder = "Choose...";
inline constexpr std::string_view kDefaultFolder = "Default Folder";
inline constexpr std::string_view kSelect = "Select";
inline constexpr std::string_view kBackUpNow = "Back Up Now";
inline constexpr std::string_view kRestoreButton = "Restore...";
inline constexpr std::string_view kImportButton = "Import...";
inline constexpr std::string_view kBackupWritten = "Backup written to %@";
inline constexpr std::string_view kBackingUp = "Writing a backup...";
inline constexpr std::string_view kBackupFailed = "The backup could not be written.";
inline constexpr std::string_view kRestoreQuestion = "Replace all tasks and timings?";
inline constexpr std::string_view kRestoreExplanation =
    "Restoring removes every task and timing and puts those of the file in their place. The "
    "running timer is stopped.";
inline constexpr std::string_view kRestore = "Restore";
inline constexpr std::string_view kClearAllDataButton = "Clear All Data...";
inline constexpr std::string_view kClearQuestion = "Delete all tasks and timings?";
inline constexpr std::string_view kClearExplanation =
    "Every task, timing and origin is deleted. This cannot be undone; back up first to keep "
    "them.";
inline constexpr std::string_view kDelete = "Delete";
inline constexpr std::string_view kClearFailed = "The data could not be deleted.";
inline constexpr std::string_view kFolderFellBack =
    "The chosen backup folder is no longer available: backups go to the default folder.";
inline constexpr std::string_view kCancel = "Cancel";
inline constexpr std::string_view kProceed = "Proceed";
inline constexpr std::string_view kEditedFile = "The file has been changed since it was written.";
inline constexpr std::string_view kEditedFileExplanation =
    "Its integrity value does not match its content: it was edited or damaged. Reading it may "
    "bring in wrong data.";

// Codes of kRavelongErrorDomain for backup files.
inline constexpr int kBackupUnreadableCode = 1101;     // cannot be opened or is not well-formed
inline constexpr int kBackupInvalidCode = 1102;        // does not match its generation's schema
inline constexpr int kBackupContentCode = 1103;        // valid, but its content cannot be taken
inline constexpr int kBackupIntegrityCode = 1104;      // the integrity value does not match
inline constexpr int kBackupSchemaMissingCode = 1105;  // the schema files are not installed
inline constexpr int kBackupWriteCode = 1106;          // writing a backup failed
inline constexpr int kBackupStoreCode = 1107;          // the store could not take the result

}  // namespace ravelong::backup_texts
