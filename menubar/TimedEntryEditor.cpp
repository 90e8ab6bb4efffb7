#include "menubar/TimedEntryEditor.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/calendar/DayNumbers.h"
#include "core/calendar/ZRCalendar.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/durations/ZRDurationFormatter.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "menubar/MainWindowListTexts.h"
#include "menubar/ManualTimingDraft.h"
#include "menubar/TimedEntriesList.h"

namespace ravelong {
namespace {

constexpr double kLongestTiming = double(ZRCDTimingSet::kMaxDaysPerTiming) * 86400.0;

ZRCalendar calendarOf(const ZRCDTiming& timing) {
    return timing.timezone() ? ZRCalendar::defaultGregorian(*timing.timezone())
                             : ZRCalendar::zrCalendar();
}

// A row may still point at a timing that another change deleted.
bool usable(const ZRCDTiming* timing) {
    return timing && !timing->isDeleted();
}

bool hasText(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return !std::isspace(c); });
}

// The same wall-clock time on another local day, or nullopt when the clocks skip it there.
std::optional<Instant> onDay(const ZRCalendar& calendar, Instant instant, std::int64_t day) {
    const auto local = calendar.localTime(instant);
    const Instant moved =
        calendar.instantFromLocal(day, local.secondOfDay, local.offset) + local.fraction;
    const auto check = calendar.localTime(moved);
    if (check.days != day || check.secondOfDay != local.secondOfDay)
        return std::nullopt;
    return moved;
}

}  // namespace

TimedEntryEditor::TimedEntryEditor(ApplicationDelegate& delegate, const Clock& clock)
    : delegate_(delegate), clock_(clock) {}

ManagedObjectContext& TimedEntryEditor::context() const {
    return delegate_.managedObjectContext();
}

Error TimedEntryEditor::refuse(Code code, std::string_view description) const {
    if (AlertSound* sound = delegate_.alertSound())
        sound->playSound(kFunkSound);
    return Error{kRavelongErrorDomain, code, std::string(description), {}};
}

void TimedEntryEditor::save() const {
    context().processPendingChanges();
    saveThroughDelegateLoggingFailure(context(), "TimedEntryEditor:save");
}

Status TimedEntryEditor::deleteRows(const TimedEntriesList& list,
                                    const std::vector<std::size_t>& rows) {
    std::vector<std::size_t> listed;
    for (std::size_t row : rows)
        if (row < list.rowCount() && std::find(listed.begin(), listed.end(), row) == listed.end())
            listed.push_back(row);
    const std::vector<ZRCDTiming*> timings = list.timingsOfRows(listed);
    if (listed.empty() || timings.empty())
        return refuse(kNothingChosen, kEditNothingChosen);
    {
        NamedUndoGroup step(context(), listed.size() == 1 ? kUndoDeleteTiming : kUndoDeleteTimings);
        for (ZRCDTiming* timing : timings)
            ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context());
    }
    save();
    return Status::success();
}

Result<Instant> TimedEntryEditor::checkedRunningStart(Instant start) const {
    const Instant now = clock_.now();
    if (start > now)
        return refuse(kRunningStartInFuture, kEditRunningStartInFuture);
    if (start < now - kLongestRunningMoveBack)
        return refuse(kRunningStartTooEarly, kEditRunningStartTooEarly);
    return start;
}

Result<Instant> TimedEntryEditor::runningStartOnDay(const ZRCDTiming& timing,
                                                    Instant proposed) const {
    proposed = std::min(proposed, clock_.now());
    const ZRCalendar calendar = calendarOf(timing);
    const auto moved =
        onDay(calendar, timing.startDate().value_or(proposed), calendar.localTime(proposed).days);
    if (!moved)
        return refuse(kTimeDoesNotExist, kEditTimeDoesNotExist);
    return checkedRunningStart(*moved);
}

Status TimedEntryEditor::setDateOfRunningTiming(ZRCDTiming* timing, Instant proposed) {
    if (!usable(timing) || !timing->running() || !std::isfinite(proposed))
        return refuse(kNothingChosen, kEditNothingChosen);
    auto start = runningStartOnDay(*timing, proposed);
    if (!start)
        return start.error();
    if (*start != timing->startDate()) {
        NamedUndoGroup step(context(), kUndoModifyTiming);
        timing->setStartDate(*start);
    }
    save();
    return Status::success();
}

Status TimedEntryEditor::moveRowsToDay(const TimedEntriesList& list,
                                       const std::vector<std::size_t>& rows, ZRYearMonthDay day) {
    if (list.compact())
        return refuse(kCompactRows, kEditCompactRows);
    const ZRDate target = date_additions::zrDateFromZRYearMonthDay(day);
    if (date_additions::zrYearMonthDayFromZRDate(target) != day)
        return refuse(kDateOutOfRange, kEditDateOutOfRange);
    struct Move {
        ZRCDTiming* timing;
        Instant start;
        std::optional<Instant> end;  // absent for a running timing
    };
    std::vector<Move> moves;
    const std::vector<ZRCDTiming*> timings = list.timingsOfRows(rows);
    if (timings.empty())
        return refuse(kNothingChosen, kEditNothingChosen);
    for (ZRCDTiming* timing : timings) {
        if (!timing->startDate())
            continue;
        const ZRCalendar calendar = calendarOf(*timing);
        const auto startLocal = calendar.localTime(*timing->startDate());
        if (timing->running()) {
            const Instant noon = calendar.instantFromLocal(target, 12 * 3600);
            auto start = runningStartOnDay(*timing, noon);
            if (!start)
                return start.error();
            moves.push_back({timing, *start, std::nullopt});
            continue;
        }
        if (startLocal.days == target || !timing->endDate())
            continue;
        const auto endLocal = calendar.localTime(*timing->endDate());
        const auto start = onDay(calendar, *timing->startDate(), target);
        const auto end =
            onDay(calendar, *timing->endDate(), target + (endLocal.days - startLocal.days));
        if (!start || !end)
            return refuse(kTimeDoesNotExist, kEditTimeDoesNotExist);
        if (*end < *start)
            return refuse(kEndBeforeStart, kEditEndBeforeStart);
        moves.push_back({timing, *start, end});
    }
    if (!moves.empty()) {
        NamedUndoGroup step(context(), kUndoModifyTiming);
        for (const Move& move : moves) {
            if (move.end && *move.end > *move.timing->endDate()) {
                move.timing->setEndDate(move.end);  // keep start <= end on the way
                move.timing->setStartDate(move.start);
            } else {
                move.timing->setStartDate(move.start);
                if (move.end)
                    move.timing->setEndDate(move.end);
            }
        }
    }
    save();
    return Status::success();
}

Status TimedEntryEditor::setStart(ZRCDTiming* timing, Instant start) {
    if (!usable(timing) || !std::isfinite(start))
        return refuse(kNothingChosen, kEditNothingChosen);
    if (timing->running()) {
        auto checked = checkedRunningStart(start);
        if (!checked)
            return checked.error();
    } else {
        const Instant end = timing->endDate().value_or(start);
        if (end < start)
            return refuse(kEndBeforeStart, kEditEndBeforeStart);
        if (end - start > kLongestTiming)
            return refuse(kTooLong, kEditTooLong);
    }
    if (timing->startDate() != start) {
        NamedUndoGroup step(context(), kUndoModifyTiming);
        timing->setStartDate(start);
    }
    save();
    return Status::success();
}

Status TimedEntryEditor::setEnd(ZRCDTiming* timing, Instant end) {
    if (!usable(timing) || !std::isfinite(end))
        return refuse(kNothingChosen, kEditNothingChosen);
    if (timing->running())
        return refuse(kRunningTimingEnd, kEditRunningTimingEnd);
    const Instant start = timing->startDate().value_or(end);
    if (end < start)
        return refuse(kEndBeforeStart, kEditEndBeforeStart);
    if (end - start > kLongestTiming)
        return refuse(kTooLong, kEditTooLong);
    if (timing->endDate() != end) {
        NamedUndoGroup step(context(), kUndoModifyTiming);
        timing->setEndDate(end);
    }
    save();
    return Status::success();
}

Status TimedEntryEditor::setDuration(ZRCDTiming* timing, double seconds) {
    if (!usable(timing) || !timing->startDate())
        return refuse(kNothingChosen, kEditNothingChosen);
    if (timing->running())
        return refuse(kRunningTimingEnd, kEditRunningTimingEnd);
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return refuse(kDurationNotPositive, kEditDurationNotPositive);
    if (seconds > kLongestTiming)
        return refuse(kTooLong, kEditTooLong);
    return setEnd(timing, *timing->startDate() + seconds);
}

Status TimedEntryEditor::setDurationText(ZRCDTiming* timing, std::string_view text) {
    // Hours:minutes:seconds, hours:minutes, units, then decimal hours.
    for (int form : {11, 10, 20, 2}) {
        const double seconds = ZRDurationFormatter(form).durationFromString(text);
        if (seconds >= 0.0)
            return setDuration(timing, seconds);
    }
    return refuse(kDurationUnreadable, kEditDurationUnreadable);
}

Status TimedEntryEditor::setNote(ZRCDTiming* timing, const std::string& text) {
    if (!usable(timing))
        return refuse(kNothingChosen, kEditNothingChosen);
    const std::optional<std::string> note =
        hasText(text) ? std::optional<std::string>(text) : std::nullopt;
    if (timing->note() != note) {
        NamedUndoGroup step(context(), kUndoEditTimingNotes);
        timing->setNote(note);
    }
    save();
    return Status::success();
}

Status TimedEntryEditor::assignToTask(const std::vector<ZRCDTiming*>& timings, ZRCDTask* task,
                                      bool recentTask) {
    if (!task || task->isDeleted() || !task->childTasks().empty())
        return refuse(kTaskNotAssignable, kEditTaskNotAssignable);
    std::vector<ZRCDTiming*> moving;
    for (ZRCDTiming* timing : timings)
        if (usable(timing) && timing->task() != task)
            moving.push_back(timing);
    if (moving.empty())
        return refuse(kNothingChosen, kEditNothingChosen);
    {
        NamedUndoGroup step(context(), recentTask ? kUndoAssignToRecentTask : kUndoAssignToTask);
        for (ZRCDTiming* timing : moving)
            timing->setTask(task);
    }
    save();
    return Status::success();
}

Result<ZRCDTiming*> TimedEntryEditor::addTiming(ZRCDTask* task, const ManualTimingDraft& draft,
                                                const std::string& note, bool restrictedMode) {
    if (restrictedMode)
        return refuse(kRestrictedMode, kEditRestrictedMode);
    if (!task || task->isDeleted() || !task->childTasks().empty())
        return refuse(kTaskNotAssignable, kEditTaskNotAssignable);
    if (draft.startTimeDoesNotExist())
        return refuse(kTimeDoesNotExist, kEditTimeDoesNotExist);
    if (!draft.dateIsValid())
        return refuse(kDateOutOfRange, kEditDateOutOfRange);
    if (draft.duration() <= 0.0)
        return refuse(kDurationNotPositive, kEditDurationNotPositive);
    if (draft.duration() > kLongestTiming)
        return refuse(kTooLong, kEditTooLong);
    ZRCDTiming* timing = nullptr;
    {
        NamedUndoGroup step(context(), kUndoAddTiming);
        timing = ZRCDTiming::createCoreDataTimingWithStartDate(
            draft.start(), draft.end(), task,
            hasText(note) ? std::optional<std::string>(note) : std::nullopt, 0, std::nullopt,
            context());
    }
    if (!timing)
        return refuse(kTooLong, kEditTooLong);
    save();
    return timing;
}

}  // namespace ravelong
