#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Error.h"

namespace ravelong {
class ManagedObjectContext;
class ZRCDExportPreferences;
class ZRCDTask;
class ZRCDTiming;
class ZRCDTimingSet;
}  // namespace ravelong

namespace ravelong::csv {

// The CSV settings of the export preferences record, as one value.
struct CsvExportSettings {
    std::int16_t csvEncoding = 0;
    std::int16_t csvDelimiter = 0;
    bool csvColumnTitles = true;
    bool csvSplitTask = false;
    bool csvStartDates = true;
    bool csvStartTimes = true;
    bool csvEndDates = true;
    bool csvEndTimes = true;
    std::int16_t csvDateFormat = 0;
    bool csvDurations = true;
    std::int16_t csvDurationFormat = 1;
    bool csvShowSeconds = false;
    std::int16_t csvRounding = 0;
    bool csvRoundedDurations = false;
    bool csvRoundedEndTimes = false;
    bool csvNotes = true;
    bool csvTaskDescInNotes = false;
    bool csvTaskDescriptions = false;
    bool csvTotalTime = true;

    static CsvExportSettings fromPreferences(const ZRCDExportPreferences& preferences);
    void storeIn(ZRCDExportPreferences& preferences) const;

    // ',' ';' ':' tab or space (anything unknown is ',').
    char delimiterCharacter() const;
    // "txt" for tab and space, else "csv".
    const char* fileExtension() const;
};

// An entry of the timed-entries list: a timing, or a task's day (when the list is compacted).
using CsvExportEntry = std::variant<const ZRCDTiming*, const ZRCDTimingSet*>;

// Writes timed entries as delimiter-separated text: optional title line, an empty line, one line
// per entry (in the reverse of the given order, so the list's newest-first becomes oldest-first),
// and with totals an empty line and the totals line. Dates and times are those of each timing's
// own zone. Totals are the sums of what the rows show. Main thread (reads records).
class CsvExport {
public:
    // `hasRoundedTimings`: rounding is on and some entry's task rounds (entriesHaveRounding);
    // `roundDurationsAfterCompact`: the user default of that name.
    CsvExport(CsvExportSettings settings, bool hasRoundedTimings, bool roundDurationsAfterCompact,
              ZRCalendar calendar);
    ~CsvExport();

    std::vector<std::string> headerTitles() const;

    // The file's bytes in the chosen encoding. Errors: text the encoding cannot carry (the
    // export is refused rather than written with holes).
    Result<std::string> fileBytes(const std::vector<CsvExportEntry>& entries);
    // The preview: at most two rows with placeholder notes, then "...", decoded and split into
    // raw fields.
    Result<std::vector<std::vector<std::string>>> previewRows(
        const std::vector<CsvExportEntry>& entries);
    // Writes the file atomically (temporary file, rename): a failure leaves any previous file.
    Status writeFile(const std::filesystem::path& path, const std::vector<CsvExportEntry>& entries);

private:
    Result<std::string> write(const std::vector<CsvExportEntry>& entries, bool preview);
    std::vector<std::string> row(const CsvExportEntry& entry, bool preview);
    double durationOf(const CsvExportEntry& entry) const;
    std::string durationText(double seconds) const;
    std::string totalText(const std::vector<CsvExportEntry>& entries) const;
    std::string dateText(double instant, const std::string& zoneName);
    std::string timeText(double instant, const std::string& zoneName);

    CsvExportSettings settings_;
    bool hasRoundedTimings_;
    bool roundDurationsAfterCompact_;
    ZRCalendar calendar_;
    struct Formatters;
    std::unique_ptr<Formatters> formatters_;
};

// Whether any entry's task has an effective rounding code of 101 or more.
bool entriesHaveRounding(const std::vector<CsvExportEntry>& entries);

// The timings of the days [firstDay, lastDay] (calendar days as YYYYMMDD, counted as each timing
// counts its days) whose task is one of `tasks` or below one of them (all tasks when empty),
// newest first as the timed-entries list shows them. Running timings are left out.
std::vector<CsvExportEntry> timingsForSelection(ZRYearMonthDay firstDay, ZRYearMonthDay lastDay,
                                                const std::vector<ZRCDTask*>& tasks,
                                                const ManagedObjectContext& context);

}  // namespace ravelong::csv
