#pragma once

#include <unicode/smpdtfmt.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/calendar/ZRCalendar.h"
#include "core/durations/ZRDurationFormatter.h"
#include "exchange/csv/CsvImportMapping.h"
#include "exchange/csv/NumericDatePattern.h"
#include "foundation/Instant.h"

namespace ravelong::csv {

// Reads the date, time and duration cells of an import with the mapping's patterns, in the
// calendar's locale (for month names and the AM/PM symbols) and zone (for placing a wall time).
// Parsing is strict: the whole cell must match ("31/02/2020" is no date). One reader per thread.
class CsvCellReader {
public:
    CsvCellReader(const CsvImportMapping& mapping, ZRCalendar calendar);
    ~CsvCellReader();

    // A day as a day number (days since 1970-01-01), or nullopt.
    std::optional<std::int64_t> day(std::string_view cell) const;
    // A time of day in seconds after midnight, or nullopt.
    std::optional<std::int32_t> timeOfDay(std::string_view cell) const;
    // A date and time in one cell ("date time", or "time date"), as day and seconds.
    std::optional<std::pair<std::int64_t, std::int32_t>> dateAndTime(std::string_view cell);
    // Seconds, or a negative value when the cell is not a duration of the chosen form.
    double duration(std::string_view cell) const { return durations_.durationFromString(cell); }

    // The instant the calendar's clock reads `seconds` into day `day`; nullopt for a wall time the
    // zone skips (the hour a clock change jumps over).
    std::optional<Instant> instant(std::int64_t day, std::int32_t seconds) const;

    // Time cells with "m" or "M" get the usual AM/PM spellings ("a.m.", "PM", ...) replaced by
    // the locale's symbols, so "3:15 p.m." reads under any locale.
    std::string normaliseMarkers(std::string_view cell) const;

private:
    ZRCalendar calendar_;
    ZRDurationFormatter durations_;
    // ICU's parser of a pattern, and the quick reading of its numeric cells where it has one.
    struct Format {
        std::unique_ptr<icu::SimpleDateFormat> icu;
        std::optional<NumericDatePattern> numeric;

        explicit operator bool() const { return icu != nullptr; }
        std::optional<double> parse(std::string_view cell) const;
    };
    static Format makeFormat(const std::string& pattern, const std::string& localeId);

    Format date_;
    Format time_;
    Format dateTime_;
    Format timeDate_;
    bool timeDateFirst_ = false;  // the order that read the last date-and-time cell
    std::string am_, pm_;
};

}  // namespace ravelong::csv
