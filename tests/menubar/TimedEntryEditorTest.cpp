#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "menubar/ManualTimingDraft.h"
#include "menubar/TimedEntriesList.h"
#include "menubar/TimedEntryEditor.h"
#include "tests/stats/StatsTestWorld.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using stats_testing::dayNumber;
using stats_testing::StatsWorld;
using Code = TimedEntryEditor::Code;

class TimedEntryEditorTest : public StatsWorld {
protected:
    TimedEntryEditorTest() {
        tree("P P1<P Q");
        ZRUserDefaults2::setSelectionState(3);
        ZRUserDefaults2::setShowTasks(3);
    }
    // The day numbers of a timing's aggregates, in order.
    static std::vector<ZRDate> days(const ZRCDTiming* timing) {
        std::vector<ZRDate> result;
        for (const ZRCDTimingSet* set : timing->timingSets())
            result.push_back(set->absDay());
        std::sort(result.begin(), result.end());
        return result;
    }
    // Every aggregate of a task by day, with its total.
    std::map<ZRDate, double> aggregates(const std::string& task) {
        std::map<ZRDate, double> result;
        for (const ZRCDTimingSet* set : tasks.at(task)->timingSets())
            result[set->absDay()] += set->durationExcludingRunningTimings();
        return result;
    }
    std::size_t rowOf(const ZRCDTiming* timing) {
        list.reload();
        const auto& rows = list.timings();
        return std::find(rows.begin(), rows.end(), timing) - rows.begin();
    }
    std::size_t funks() const { return delegate->sound.played().size(); }

    TimedEntriesList list{*context, defaults, loop};
    TimedEntryEditor editor{*delegate, clock};
};

// 23:00 .. 01:00 moved from 5 to 8 March: 23:00 on the 8th to 01:00 on the 9th; the aggregates
// move along at once, and one undo puts everything back.
TEST_F(TimedEntryEditorTest, MovingAnEntryOverMidnightKeepsItsTimesAndDays) {
    ZRCDTiming* night = timing("Q", berlinTime(2024, 3, 5, 23), berlinTime(2024, 3, 6, 1));
    settle();
    const auto before = aggregates("Q");
    ASSERT_TRUE(editor.moveRowsToDay(list, {rowOf(night)}, 20240308));
    EXPECT_EQ(undoName(), "Modify Timing");
    EXPECT_EQ(night->startDate(), berlinTime(2024, 3, 8, 23));
    EXPECT_EQ(night->endDate(), berlinTime(2024, 3, 9, 1));
    EXPECT_EQ(days(night), (std::vector<ZRDate>{dayNumber(2024, 3, 8), dayNumber(2024, 3, 9)}));
    EXPECT_EQ(aggregates("Q"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 8), 3600.0},
                                                         {dayNumber(2024, 3, 9), 3600.0}}));
    EXPECT_FALSE(context->hasChanges());
    context->undoManager()->undo();
    EXPECT_EQ(night->startDate(), berlinTime(2024, 3, 5, 23));
    EXPECT_EQ(aggregates("Q"), before);
}

TEST_F(TimedEntryEditorTest, MovingSeveralEntriesIsOneStepAndCompactRowsAreRefused) {
    ZRCDTiming* a = timing("Q", berlinTime(2024, 3, 1, 9), berlinTime(2024, 3, 1, 10));
    ZRCDTiming* b = timing("P1", berlinTime(2024, 3, 2, 9), berlinTime(2024, 3, 2, 11));
    settle();
    list.reload();
    ASSERT_TRUE(editor.moveRowsToDay(list, {0, 1}, 20240311));
    EXPECT_EQ(undoName(), "Modify Timing");
    EXPECT_EQ(aggregates("Q"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 11), 3600.0}}));
    EXPECT_EQ(aggregates("P1"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 11), 7200.0}}));
    context->undoManager()->undo();
    EXPECT_EQ(a->startDate(), berlinTime(2024, 3, 1, 9));
    EXPECT_EQ(b->startDate(), berlinTime(2024, 3, 2, 9));
    EXPECT_FALSE(context->undoManager()->canUndo());

    defaults.setBool(kZRCompactTimings, true);
    list.reload();
    const auto refused = editor.moveRowsToDay(list, {0}, 20240311);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, Code::kCompactRows);
}

struct BadMove {
    const char* what;
    Instant start, end;
    ZRYearMonthDay day;
    int code;  // 0: accepted
    Instant newStart, newEnd;
};

// Berlin's clocks go from 02:00 to 03:00 on 31 March 2024 and from 03:00 back to 02:00 on 27
// October 2024.
TEST_F(TimedEntryEditorTest, MovesOntoSummerTimeChangesEitherFitOrAreRefusedUntouched) {
    const std::vector<BadMove> cases = {
        {"02:30 does not exist on 31 March", berlinTime(2024, 3, 30, 2, 30),
         berlinTime(2024, 3, 30, 3, 30), 20240331, Code::kTimeDoesNotExist, 0, 0},
        {"an end at 02:15 does not exist either", berlinTime(2024, 3, 29, 1, 0),
         berlinTime(2024, 3, 29, 2, 15), 20240331, Code::kTimeDoesNotExist, 0, 0},
        {"01:30 .. 03:30 over the gap is an hour shorter", berlinTime(2024, 3, 30, 1, 30),
         berlinTime(2024, 3, 30, 3, 30), 20240331, 0, berlinTime(2024, 3, 31, 1, 30),
         berlinTime(2024, 3, 31, 3, 30)},
        {"no such day", berlinTime(2024, 3, 1, 9), berlinTime(2024, 3, 1, 10), 20240230,
         Code::kDateOutOfRange, 0, 0},
    };
    for (const BadMove& c : cases) {
        ZRCDTiming* entry = timing("Q", c.start, c.end);
        settle();
        const auto sets = aggregates("Q");
        const std::size_t sounds = funks();
        const Status result = editor.moveRowsToDay(list, {rowOf(entry)}, c.day);
        if (c.code == 0) {
            EXPECT_TRUE(result) << c.what;
            EXPECT_EQ(entry->startDate(), c.newStart) << c.what;
            EXPECT_EQ(entry->endDate(), c.newEnd) << c.what;
        } else {
            ASSERT_FALSE(result) << c.what;
            EXPECT_EQ(result.error().code, c.code) << c.what;
            EXPECT_EQ(entry->startDate(), c.start) << c.what;
            EXPECT_EQ(entry->endDate(), c.end) << c.what;
            EXPECT_EQ(aggregates("Q"), sets) << c.what;
            EXPECT_EQ(funks(), sounds + 1) << c.what;
            EXPECT_FALSE(context->hasChanges()) << c.what;
        }
        ZRCDTiming::deleteTimingAndUpdateTimingSets(entry, *context);
        settle();
    }
}

TEST_F(TimedEntryEditorTest, ATimeThatComesTwiceKeepsTheOffsetItHad) {
    // 02:30 summer time on 26 October, moved to the 27th where 02:30 comes first in summer time.
    ZRCDTiming* entry =
        timing("Q", berlinTime(2024, 10, 26, 2, 30), berlinTime(2024, 10, 26, 2, 45));
    settle();
    ASSERT_TRUE(editor.moveRowsToDay(list, {rowOf(entry)}, 20241027));
    EXPECT_EQ(entry->startDate(), berlinTime(2024, 10, 26, 2, 30) + 86400.0);
    EXPECT_EQ(entry->endDate(), berlinTime(2024, 10, 26, 2, 45) + 86400.0);
}

struct FieldEdit {
    const char* what;
    std::function<Status(TimedEntryEditor&, ZRCDTiming*)> edit;
    int code;  // 0: accepted
    const char* undoName;
    Instant start, end;  // afterwards
    std::optional<std::string> note;
};

TEST_F(TimedEntryEditorTest, FieldEditsAreCheckedAndEachIsOneStep) {
    const Instant nine = berlinTime(2024, 3, 11, 9);
    const Instant ten = berlinTime(2024, 3, 11, 10);
    const std::vector<FieldEdit> cases = {
        {"earlier start", [&](auto& e, auto* t) { return e.setStart(t, nine - 1800); }, 0,
         "Modify Timing", nine - 1800, ten, std::nullopt},
        {"start after end", [&](auto& e, auto* t) { return e.setStart(t, ten + 1); },
         Code::kEndBeforeStart, "", nine, ten, std::nullopt},
        {"later end", [&](auto& e, auto* t) { return e.setEnd(t, ten + 600); }, 0, "Modify Timing",
         nine, ten + 600, std::nullopt},
        {"end before start", [&](auto& e, auto* t) { return e.setEnd(t, nine - 60); },
         Code::kEndBeforeStart, "", nine, ten, std::nullopt},
        {"end ten years on", [&](auto& e, auto* t) { return e.setEnd(t, nine + 3661.0 * 86400); },
         Code::kTooLong, "", nine, ten, std::nullopt},
        {"duration", [&](auto& e, auto* t) { return e.setDuration(t, 5400); }, 0, "Modify Timing",
         nine, nine + 5400, std::nullopt},
        {"zero duration", [&](auto& e, auto* t) { return e.setDuration(t, 0); },
         Code::kDurationNotPositive, "", nine, ten, std::nullopt},
        {"duration text h:mm", [&](auto& e, auto* t) { return e.setDurationText(t, "1:45"); }, 0,
         "Modify Timing", nine, nine + 6300, std::nullopt},
        {"duration text hours", [&](auto& e, auto* t) { return e.setDurationText(t, "0,5"); }, 0,
         "Modify Timing", nine, nine + 1800, std::nullopt},
        {"duration text units", [&](auto& e, auto* t) { return e.setDurationText(t, "2h 5m"); }, 0,
         "Modify Timing", nine, nine + 7500, std::nullopt},
        {"unreadable duration", [&](auto& e, auto* t) { return e.setDurationText(t, "-1:00"); },
         Code::kDurationUnreadable, "", nine, ten, std::nullopt},
        {"gibberish duration", [&](auto& e, auto* t) { return e.setDurationText(t, "soon"); },
         Code::kDurationUnreadable, "", nine, ten, std::nullopt},
        {"note as typed", [&](auto& e, auto* t) { return e.setNote(t, " call Bob "); }, 0,
         "Edit Timing Notes", nine, ten, " call Bob "},
    };
    for (const FieldEdit& c : cases) {
        ZRCDTiming* entry = timing("Q", nine, ten);
        settle();
        const std::size_t sounds = funks();
        const Status result = c.edit(editor, entry);
        EXPECT_EQ(result.ok(), c.code == 0) << c.what;
        if (!result.ok()) {
            EXPECT_EQ(result.error().code, c.code) << c.what;
        }
        EXPECT_EQ(funks(), sounds + (c.code ? 1 : 0)) << c.what;
        EXPECT_EQ(context->undoManager()->canUndo(), c.code == 0) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(undoName(), c.undoName) << c.what;
        }
        EXPECT_EQ(entry->startDate(), c.start) << c.what;
        EXPECT_EQ(entry->endDate(), c.end) << c.what;
        EXPECT_EQ(entry->note(), c.note) << c.what;
        EXPECT_DOUBLE_EQ(entry->firstTimingSet()->durationExcludingRunningTimings(),
                         c.end - c.start)
            << c.what;
        EXPECT_FALSE(context->hasChanges()) << c.what;
        if (c.code == 0) {
            context->undoManager()->undo();
            EXPECT_EQ(entry->startDate(), nine) << c.what;
            EXPECT_EQ(entry->endDate(), ten) << c.what;
            EXPECT_DOUBLE_EQ(entry->firstTimingSet()->durationExcludingRunningTimings(), 3600.0)
                << c.what;
        }
        ZRCDTiming::deleteTimingAndUpdateTimingSets(entry, *context);
        settle();
    }
}

TEST_F(TimedEntryEditorTest, RunningEntriesMoveBackAtMostFourDaysAndKeepTheirEnd) {
    clock.set(berlinTime(2024, 3, 13, 10));
    ZRCDTiming* running =
        ZRCDTiming::createRunningTimingNowForTask_andOrigin(tasks["Q"], 0, *context);
    settle();
    const Instant started = *running->startDate();
    struct Case {
        const char* what;
        Instant proposed;
        int code;
        Instant start;
    };
    const std::vector<Case> cases = {
        {"two days back", berlinTime(2024, 3, 11, 18), 0, started - 2 * 86400.0},
        {"a proposal after now counts as now", berlinTime(2024, 3, 20, 8), 0, started},
        {"five days back", berlinTime(2024, 3, 8, 12), Code::kRunningStartTooEarly, started},
    };
    for (const Case& c : cases) {
        const Status result = editor.setDateOfRunningTiming(running, c.proposed);
        EXPECT_EQ(result.ok(), c.code == 0) << c.what;
        if (!result.ok()) {
            EXPECT_EQ(result.error().code, c.code) << c.what;
        }
        EXPECT_EQ(running->startDate(), c.start) << c.what;
        EXPECT_TRUE(running->running()) << c.what;
        if (running->startDate() != started)
            context->undoManager()->undo();
    }
    EXPECT_EQ(editor.setEnd(running, started + 60).error().code, Code::kRunningTimingEnd);
    EXPECT_EQ(editor.setDuration(running, 60).error().code, Code::kRunningTimingEnd);
    EXPECT_EQ(editor.setStart(running, clock.now() + 60).error().code, Code::kRunningStartInFuture);
    EXPECT_TRUE(editor.setStart(running, clock.now() - 3600));
    EXPECT_TRUE(running->running());
}

TEST_F(TimedEntryEditorTest, DeletingRowsNamesTheStepByTheNumberOfRows) {
    ZRCDTiming* a = timing("Q", berlinTime(2024, 3, 11, 9), berlinTime(2024, 3, 11, 10));
    timing("Q", berlinTime(2024, 3, 11, 11), berlinTime(2024, 3, 11, 12));
    timing("P1", berlinTime(2024, 3, 12, 9), berlinTime(2024, 3, 12, 10));
    settle();
    list.reload();
    EXPECT_EQ(editor.deleteRows(list, {}).error().code, Code::kNothingChosen);
    EXPECT_EQ(editor.deleteRows(list, {7}).error().code, Code::kNothingChosen);
    EXPECT_EQ(funks(), 2u);
    ASSERT_TRUE(editor.deleteRows(list, {rowOf(a)}));
    EXPECT_EQ(undoName(), "Delete Timing");
    EXPECT_EQ(editor.setNote(a, "gone").error().code, Code::kNothingChosen);  // a stale row
    EXPECT_EQ(aggregates("Q"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 11), 3600.0}}));
    context->undoManager()->undo();
    EXPECT_EQ(aggregates("Q"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 11), 7200.0}}));
    settle();

    defaults.setBool(kZRCompactTimings, true);
    list.reload();
    ASSERT_EQ(list.rowCount(), 2u);  // Q on the 11th, P1 on the 12th
    ASSERT_TRUE(editor.deleteRows(list, {0, 1}));
    EXPECT_EQ(undoName(), "Delete Timings");
    EXPECT_EQ(context->count<ZRCDTiming>(), 0u);
    EXPECT_EQ(context->count<ZRCDTimingSet>(), 0u);
    context->undoManager()->undo();
    EXPECT_EQ(context->count<ZRCDTiming>(), 3u);
    EXPECT_EQ(aggregates("P1"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 12), 3600.0}}));
}

TEST_F(TimedEntryEditorTest, AssigningMovesEntriesToATaskWithoutSubtasks) {
    ZRCDTiming* a = timing("Q", berlinTime(2024, 3, 11, 9), berlinTime(2024, 3, 11, 10));
    settle();
    EXPECT_EQ(editor.assignToTask({a}, tasks["P"], false).error().code, Code::kTaskNotAssignable);
    EXPECT_EQ(editor.assignToTask({a}, tasks["Q"], false).error().code, Code::kNothingChosen);
    ASSERT_TRUE(editor.assignToTask({a}, tasks["P1"], true));
    EXPECT_EQ(undoName(), "Assign to recent Task");
    EXPECT_EQ(aggregates("P1"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 11), 3600.0}}));
    EXPECT_TRUE(aggregates("Q").empty());
    context->undoManager()->undo();
    EXPECT_EQ(a->task(), tasks["Q"]);
    ASSERT_TRUE(editor.assignToTask({a}, tasks["P1"], false));
    EXPECT_EQ(undoName(), "Assign to Task");
}

TEST_F(TimedEntryEditorTest, ADraftStartsNowAndAddsOnlyWhatIsValid) {
    clock.set(berlinTime(2024, 3, 13, 10, 17) + 42.5);
    ManualTimingDraft draft(clock);
    EXPECT_EQ(draft.start(), berlinTime(2024, 3, 13, 10, 17));
    EXPECT_EQ(draft.end(), draft.start());
    EXPECT_TRUE(draft.dateIsValid());
    EXPECT_FALSE(draft.canAdd());
    EXPECT_EQ(editor.addTiming(tasks["Q"], draft, "", false).error().code,
              Code::kDurationNotPositive);

    draft.setDuration(1800);
    draft.setDay(berlinTime(2024, 3, 31, 12));
    draft.setStart(berlinTime(2024, 3, 30, 2, 30));  // skipped on the 31st
    EXPECT_TRUE(draft.startTimeDoesNotExist());
    EXPECT_FALSE(draft.canAdd());
    EXPECT_EQ(editor.addTiming(tasks["Q"], draft, "", false).error().code, Code::kTimeDoesNotExist);
    draft.setDay(berlinTime(2026, 3, 14, 12));  // beyond 730 days from now
    EXPECT_FALSE(draft.dateIsValid());
    draft.setDay(berlinTime(2000, 12, 31, 12));
    EXPECT_FALSE(draft.dateIsValid());
    EXPECT_EQ(editor.addTiming(tasks["Q"], draft, "", false).error().code, Code::kDateOutOfRange);
    draft.setDay(berlinTime(2024, 3, 12, 12));
    EXPECT_TRUE(draft.canAdd());
    EXPECT_EQ(draft.start(), berlinTime(2024, 3, 12, 2, 30));
    EXPECT_EQ(draft.end(), berlinTime(2024, 3, 12, 3));

    EXPECT_EQ(editor.addTiming(tasks["Q"], draft, "x", true).error().code, Code::kRestrictedMode);
    EXPECT_EQ(editor.addTiming(tasks["P"], draft, "x", false).error().code,
              Code::kTaskNotAssignable);
    EXPECT_EQ(context->count<ZRCDTiming>(), 0u);
    EXPECT_EQ(funks(), 5u);

    auto blank = editor.addTiming(tasks["Q"], draft, " \n", false);
    ASSERT_TRUE(blank);
    EXPECT_EQ(undoName(), "Add Timing");
    EXPECT_EQ((*blank)->note(), std::nullopt);
    EXPECT_EQ(aggregates("Q"), (std::map<ZRDate, double>{{dayNumber(2024, 3, 12), 1800.0}}));
    auto noted = editor.addTiming(tasks["Q"], draft, " call ", false);
    ASSERT_TRUE(noted);
    EXPECT_EQ((*noted)->note(), " call ");
    context->undoManager()->undo();
    EXPECT_EQ(context->count<ZRCDTiming>(), 1u);
}

}  // namespace
}  // namespace ravelong
