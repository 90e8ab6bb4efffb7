#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/ZRCalendar.h"
#include "exchange/csv/CsvImportMapping.h"
#include "foundation/Error.h"

namespace ravelong::csv {

// Saved mappings for the exports of other time trackers: Toggl Track's detailed report, Clockify's
// detailed report, Watson's "log --csv", Hamster's TSV export and Kimai's CSV export. Projects
// and categories become tasks, tasks and activities their subtasks, descriptions notes.
//
// A preset is only ever offered: detect() names the presets whose columns a file's title line
// has, and mappingFor() builds the mapping for one of them, which the user may still change.

struct CsvPresetInfo {
    std::string_view name;   // "toggl", used on the command line
    std::string_view title;  // "Toggl Track detailed report"
};
const std::vector<CsvPresetInfo>& csvPresets();

// What a preset makes of a file: the mapping (title line skipped, delimiter and formats judged
// from the first rows), the columns it leaves out, and notes on anything it could not settle.
struct CsvPresetMapping {
    CsvImportMapping mapping;
    std::vector<std::string> unmappedColumns;
    std::vector<std::string> notes;
};

// The file's title line (its first record, read with the delimiter that gives most cells) and a
// few rows after it.
struct CsvFileSample {
    int delimiter = 0;
    std::string encoding;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};
Result<CsvFileSample> sampleFile(const std::filesystem::path& file, std::size_t rows = 50);

// The presets whose required columns the title line has, best first.
std::vector<CsvPresetInfo> detectPresets(const std::vector<std::string>& header);

// Errors: an unknown preset name, or a title line without the preset's required columns (the
// error names the missing ones).
Result<CsvPresetMapping> mappingFor(std::string_view presetName, const CsvFileSample& sample,
                                    const ZRCalendar& calendar);

}  // namespace ravelong::csv
