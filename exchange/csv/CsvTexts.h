#pragma once

#include <cstdint>
#include <string_view>

namespace ravelong::csv {

// Column tokens of the generic import; each token's text is also its identifier.
inline constexpr std::string_view kTokenTask = "Task (top level)";
inline constexpr std::string_view kTokenSubtask1 = "Subtask (level 1)";
inline constexpr std::string_view kTokenSubtask2 = "Subtask (level 2)";
inline constexpr std::string_view kTokenDate = "Date";
inline constexpr std::string_view kTokenStartDateTime = "Start Date + Time";
inline constexpr std::string_view kTokenEndDateTime = "End Date + Time";
inline constexpr std::string_view kTokenStartTime = "Start Time";
inline constexpr std::string_view kTokenEndTime = "End Time";
inline constexpr std::string_view kTokenDuration = "Duration";
inline constexpr std::string_view kTokenNotes = "Notes";
inline constexpr std::string_view kTokenIgnore = "Ignore";

// Settings of this device.
inline constexpr std::string_view kZRGenericCSVTokens = "ZRGenericCSVTokens";
inline constexpr std::string_view kZRGenericCSVTokenFormats = "ZRGenericCSVTokenFormats";

// Status texts of the token selection.
inline constexpr std::string_view kRemoveEndTimeOrDuration =
    "Too many tokens. Remove either \"End Time\" or \"Duration\".";
inline constexpr std::string_view kRemoveEndDateTimeOrDuration =
    "Too many tokens. Remove either \"End Date + Time\" or \"Duration\".";
inline constexpr std::string_view kRemoveDate = "Too many tokens. Remove the \"Date\" token.";
inline constexpr std::string_view kInvalidTaskTokens = "Invalid selection of task tokens.";
inline constexpr std::string_view kTokensNotSufficient = "Selection of tokens not sufficient.";
inline constexpr std::string_view kSelectTimeFormat = "Select a format for the \"Time\" token.";
inline constexpr std::string_view kSelectDateFormat = "Select a format for the \"Date\" token.";
inline constexpr std::string_view kSelectDateTimeFormat =
    "Select a format for the \"Date + Time\" token.";
inline constexpr std::string_view kSelectDurationFormat =
    "Select a format for the \"Duration\" token.";

// Texts of the import's progress and results.
inline constexpr std::string_view kValidatingCSVFile = "Validating CSV file...";
inline constexpr std::string_view kCSVDoesNotMatch = "CSV file does not match tokens or delimiter.";
inline constexpr std::string_view kFileSelectedFormat = "%@ selected";
inline constexpr std::string_view kNoFileSelected = "No file selected.";
inline constexpr std::string_view kImportingCSVData = "Importing CSV data...";
inline constexpr std::string_view kCSVDataImported = "CSV data successfully imported!";
inline constexpr std::string_view kCSVDataImportUndoName = "CSV Data Import";
inline constexpr std::string_view kSkippedLineFormat = "Line %lu: ";

// The origin type of imported tasks and timings.
inline constexpr std::int16_t kCsvImportOriginType = 2;

}  // namespace ravelong::csv
