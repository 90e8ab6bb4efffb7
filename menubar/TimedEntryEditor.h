#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Clock.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"

namespace ravelong {

class ApplicationDelegate;
class ManagedObjectContext;
class ManualTimingDraft;
class TimedEntriesList;
class ZRCDTask;
class ZRCDTiming;

// The changes the timed entries list makes to its entries. Each change that goes through is one
// undo step with its name ("Delete Timing", "Modify Timing", "Edit Timing Notes", "Assign to
// Task", "Add Timing", ...) followed by a save through the delegate; the day aggregates follow
// the changed dates at once. Everything is checked before anything changes: a refused change
// plays "Funk", changes nothing and returns an Error (domain kRavelongErrorDomain, a code below,
// a description the window shows).
//
// Times of day are read in the timing's own zone (`timezone`), as it was recorded. A repeated
// wall time (the end of summer time) keeps the offset the old time had where it can. Main thread
// only; the delegate and clock must outlive the editor.
class TimedEntryEditor {
public:
    enum Code : int {
        kNothingChosen = 1,
        kTimeDoesNotExist,
        kEndBeforeStart,
        kTooLong,
        kDurationUnreadable,
        kDurationNotPositive,
        kRunningTimingEnd,
        kRunningStartTooEarly,
        kRunningStartInFuture,
        kCompactRows,
        kTaskNotAssignable,
        kDateOutOfRange,
        kRestrictedMode,
    };
    // How far back a running timer's start may be moved.
    static constexpr double kLongestRunningMoveBack = 345600.0;  // 96 hours

    TimedEntryEditor(ApplicationDelegate& delegate, const Clock& clock);

    // Deletes the timings behind the rows ("Delete Timing" for one row, "Delete Timings" for
    // several; a compact row deletes every timing of its day aggregate).
    Status deleteRows(const TimedEntriesList& list, const std::vector<std::size_t>& rows);

    // The date field: moves each timing of the rows onto `day` (a calendar day), keeping its
    // times of day; an end on a later day than its start stays that many days later. A running
    // timing follows setDateOfRunningTiming with noon of the day. Rows already on the day stay.
    // Compact rows are refused.
    Status moveRowsToDay(const TimedEntriesList& list, const std::vector<std::size_t>& rows,
                         ZRYearMonthDay day);
    // A running timing's date: a proposal after now counts as now; the start takes the
    // proposal's day with its own time of day; refused when that lies more than 96 hours before
    // now or after now.
    Status setDateOfRunningTiming(ZRCDTiming* timing, Instant proposed);

    // Start and end instants, as the row's time fields give them. A running timing's start
    // obeys the limits of setDateOfRunningTiming; its end cannot be set.
    Status setStart(ZRCDTiming* timing, Instant start);
    Status setEnd(ZRCDTiming* timing, Instant end);
    // The end becomes start + seconds, above 0. The text form reads "1:30:00", "1:30", "1.5" /
    // "1,5" (hours) and "1h 30m 10s".
    Status setDuration(ZRCDTiming* timing, double seconds);
    Status setDurationText(ZRCDTiming* timing, std::string_view text);
    // "Edit Timing Notes": the text as typed, or no note when it holds only white space.
    Status setNote(ZRCDTiming* timing, const std::string& text);

    // Moves the timings to a task without subtasks ("Assign to Task", or "Assign to recent Task"
    // from the recent-task menu). Timings already there stay; refused when none would move.
    Status assignToTask(const std::vector<ZRCDTiming*>& timings, ZRCDTask* task, bool recentTask);

    // "Add Timing": a stopped timing of `task` (without subtasks) from the draft, origin type 0, a
    // fresh uuid, the note as typed when it has anything besides white space. In restricted mode
    // only the alert sound plays.
    Result<ZRCDTiming*> addTiming(ZRCDTask* task, const ManualTimingDraft& draft,
                                  const std::string& note, bool restrictedMode);

private:
    ManagedObjectContext& context() const;
    Error refuse(Code code, std::string_view description) const;
    void save() const;
    // The new start of a running timing moved to the day of `proposed`, or an Error.
    Result<Instant> runningStartOnDay(const ZRCDTiming& timing, Instant proposed) const;
    Result<Instant> checkedRunningStart(Instant start) const;

    ApplicationDelegate& delegate_;
    const Clock& clock_;
};

}  // namespace ravelong
