#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"
#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "menubar/TimedEntriesFilter.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;
class ZRCDTiming;
class ZRCDTimingSet;

// The rows of the main window's timed entries list: one per timing, newest day first and on a
// day the latest start first; or, with "ZRCompactTimings" on, one per task and day (its day
// aggregate), newest day first and on a day in the order of the task chain. Which records: the
// TimedEntriesFilter of the preferences, read by reload(). A selection state above 3 keeps the
// filter used before.
//
// Filling keeps one pointer per row; everything a row shows is computed when asked for
// (valuesOfRow), so a list of a year of entries fills at once. Rows point into `context` and are
// valid until the next reload or a change of the records; callers reload on the save path's
// notifications. Main thread only; the services given must outlive the list.
class TimedEntriesList {
public:
    TimedEntriesList(ManagedObjectContext& context, UserDefaults& defaults, MainLoop& loop);
    ~TimedEntriesList();
    TimedEntriesList(const TimedEntriesList&) = delete;
    TimedEntriesList& operator=(const TimedEntriesList&) = delete;

    // Refills from the preferences and the records now; the change handler runs afterwards.
    void reload();
    void setChangeHandler(std::function<void()> onChange) { onChange_ = std::move(onChange); }

    bool compact() const { return compact_; }
    // Stores "ZRCompactTimings". On a change of kind the list is emptied at once and refilled on
    // the loop's next pass, so a view never pairs rows of one kind with cells of the other.
    void setCompact(bool compact);

    std::size_t rowCount() const { return compact_ ? sets_.size() : timings_.size(); }
    // The record of a row: a timing in the plain list, a day aggregate in the compact one;
    // nullptr for the other kind and for a row beyond the list.
    ZRCDTiming* timingAtRow(std::size_t row) const;
    ZRCDTimingSet* timingSetAtRow(std::size_t row) const;
    const std::vector<ZRCDTiming*>& timings() const { return timings_; }
    const std::vector<ZRCDTimingSet*>& timingSets() const { return sets_; }
    // The timings behind rows (a compact row stands for every timing of its aggregate), each
    // once, in row order. Rows beyond the list are skipped.
    std::vector<ZRCDTiming*> timingsOfRows(const std::vector<std::size_t>& rows) const;

    const TimedEntriesFilter& filter() const { return filter_; }
    std::string filterFormat() const { return filter_.format(compact_); }

    struct RowValues {
        ZRYearMonthDay day = 0;      // of the first day aggregate (compact: the aggregate's)
        Instant start = 0.0;         // compact: the earliest start of the day's timings
        Instant end = 0.0;           // compact: the latest current end
        double duration = 0.0;       // seconds; running timings up to now
        double shownDuration = 0.0;  // rounded when "ZRTimingsShowRoundedDurations" asks for it
        bool running = false;
        std::string taskName;  // the full name, "﹆Clients ❯ Acme"
        std::string note;
    };
    // nullopt for a row beyond the list.
    std::optional<RowValues> valuesOfRow(std::size_t row) const;

    // "%lu of %ld timings - %@" for two or more selected rows (their total), else "1 timing - %@"
    // or "%ld timings - %@" for the whole list. Rows beyond the list are not counted.
    std::string summaryLine(const std::vector<std::size_t>& selectedRows) const;
    double durationOfRow(std::size_t row) const;

private:
    void fill();

    ManagedObjectContext& context_;
    UserDefaults& defaults_;
    MainLoop& loop_;
    bool compact_ = false;
    TimedEntriesFilter filter_;
    bool emptiedForSwitch_ = false;
    std::vector<ZRCDTiming*> timings_;
    std::vector<ZRCDTimingSet*> sets_;
    std::function<void()> onChange_;
    std::shared_ptr<TimedEntriesList*> alive_;
};

}  // namespace ravelong
