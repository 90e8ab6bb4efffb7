#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/AppChangeTracker.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/chain/ChainTreeChanges.h"
#include "core/chain/TaskChain.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TaskRounding.h"
#include "store/ManagedObjectContext.h"
#include "support/VirtualMainLoop.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;
using TaskSet = AppChangeTracker::TaskSet;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// A store without a file: three top-level tasks, saved, so that every test starts from records
// whose changes are what the test makes. The chain lists the newest first, so the panel rows are
// Gamma 0, Beta 1, Alpha 2.
class ChangeTracking : public ::testing::Test {
protected:
    ChangeTracking() {
        alpha = ZRCDTask::createCoreDataTaskWithName("Alpha", false, context);
        beta = ZRCDTask::createCoreDataTaskWithName("Beta", false, context);
        gamma = ZRCDTask::createCoreDataTaskWithName("Gamma", false, context);
        save();
    }

    void save() {
        context.processPendingChanges();
        if (!context.save())
            throw std::runtime_error("the scratch context did not save");
    }

    // What the save path does with a save: sort the records, write, work out the updates.
    void trackedSave(bool useUUIDs = false) {
        context.processPendingChanges();
        tracker.processInsertedObjects(context.insertedObjects(), context.deletedObjects(),
                                       context.updatedObjects(), useUUIDs);
        save();
        tracker.calculateUpdates_inContext(context);
    }

    ZRCDTiming* stoppedTiming(ZRCDTask* task, Instant start, Instant end) {
        return ZRCDTiming::createCoreDataTimingWithStartDate(start, end, task, std::nullopt, 0,
                                                             std::nullopt, context);
    }

    const std::vector<ZRCDTask*>& set(TaskSet which) const { return tracker.tasks(which); }

    AppEnvironment env;
    VirtualMainLoop loop{env.clock()};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    ManagedObjectContext context{ravelongModel()};
    AppChangeTracker tracker;
    ZRCDTask* alpha = nullptr;
    ZRCDTask* beta = nullptr;
    ZRCDTask* gamma = nullptr;
};

TEST_F(ChangeTracking, ARenameReloadsTheNamesAndThatTasksRowOnly) {
    beta->setTaskName("Beta, renamed");
    trackedSave();

    AppChangeTracker::Flags expected;
    expected.taskNames = true;
    EXPECT_EQ(tracker.flags, expected);
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(1));
    EXPECT_THAT(set(TaskSet::changedTotalTime), IsEmpty());
}

TEST_F(ChangeTracking, AStartedAndThenStoppedTimerChangesTheRunningTasksAndTheirTotals) {
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(alpha, 0, context);
    ASSERT_NE(timing, nullptr);
    trackedSave();
    EXPECT_TRUE(tracker.flags.runningTimings);
    EXPECT_TRUE(tracker.flags.statusItemTime);
    EXPECT_TRUE(tracker.flags.menuBarTotalTime);
    EXPECT_TRUE(tracker.flags.datePicker);  // today gained a day aggregate
    EXPECT_THAT(set(TaskSet::changedRunningTimings), ElementsAre(alpha));
    EXPECT_THAT(set(TaskSet::changedTimings), ElementsAre(alpha));
    EXPECT_THAT(set(TaskSet::changedTimingSets), ElementsAre(alpha));
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(2));

    tracker.reset();
    env.clock().set(AppEnvironment::kNow + 600);
    timing->setEndDate(AppEnvironment::kNow + 600);
    trackedSave();
    EXPECT_TRUE(tracker.flags.runningTimings);
    EXPECT_THAT(set(TaskSet::changedRunningTimings), ElementsAre(alpha));
    EXPECT_FALSE(tracker.flags.timingDeleted);

    // A stopped timing that gets a later start changes totals, not the running state.
    tracker.reset();
    timing->setStartDate(AppEnvironment::kNow + 60);
    trackedSave();
    EXPECT_FALSE(tracker.flags.runningTimings);
    EXPECT_THAT(set(TaskSet::changedRunningTimings), IsEmpty());
    EXPECT_THAT(set(TaskSet::changedTotalTime), ElementsAre(alpha));
}

TEST_F(ChangeTracking, ATimingOfASubtaskReloadsTheRowsOfItsAncestorsThatAddItUp) {
    // The subtask follows its parent in the chain: Gamma 0, Alpha 1, Beta 2.
    ASSERT_TRUE(task_chain::makeChildOfTask(beta, alpha));
    beta->setIsVisibleInMenuBar(true);  // its parent is expanded
    save();

    ASSERT_NE(stoppedTiming(beta, AppEnvironment::kNow - 3600, AppEnvironment::kNow), nullptr);
    trackedSave();
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(1, 2));

    // An archived task leaves the listing: the rows are those of the remaining tasks.
    tracker.reset();
    gamma->setIsArchived(true);
    trackedSave();
    EXPECT_TRUE(tracker.flags.archivedState);
    EXPECT_TRUE(tracker.flags.taskOrder);
    EXPECT_TRUE(tracker.flags.menuBarTotalTime);
    EXPECT_THAT(tracker.rowsToReload(), IsEmpty());
}

TEST_F(ChangeTracking, WhileSearchingTheRowsAreThoseOfTheFoundTasks) {
    ZRUserDefaults2::setMenuBarSearchTerm("alp");
    alpha->setIsVisibleDuringSearch(true);
    save();

    alpha->setTaskName("Alpha 2");
    trackedSave();
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(0));
}

TEST_F(ChangeTracking, ADeletedTimingIsCountedForTheTaskItHad) {
    ZRCDTiming* running = ZRCDTiming::createRunningTimingNowForTask_andOrigin(gamma, 0, context);
    ZRCDTiming* stopped = stoppedTiming(beta, AppEnvironment::kNow - 7200, AppEnvironment::kNow);
    save();

    ZRCDTiming::deleteTimingAndUpdateTimingSets(running, context);
    ZRCDTiming::deleteTimingAndUpdateTimingSets(stopped, context);
    trackedSave();
    EXPECT_TRUE(tracker.flags.timingDeleted);
    EXPECT_TRUE(tracker.flags.runningTimings);
    EXPECT_THAT(set(TaskSet::changedRunningTimings), ElementsAre(gamma));
    EXPECT_THAT(set(TaskSet::changedTimings), UnorderedElementsAre(beta, gamma));
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(0, 1));
}

TEST_F(ChangeTracking, NotesAndMovedTimingsConcernEveryTaskInvolved) {
    ZRCDTiming* timing = stoppedTiming(alpha, AppEnvironment::kNow - 600, AppEnvironment::kNow);
    save();

    timing->setNote("Call back");
    trackedSave();
    EXPECT_TRUE(tracker.flags.timingNotes);
    EXPECT_THAT(set(TaskSet::changedNotes), ElementsAre(alpha));
    EXPECT_FALSE(tracker.flags.runningTimings);

    tracker.reset();
    timing->setTask(beta);
    trackedSave();
    EXPECT_THAT(set(TaskSet::changedTotalTime), ::testing::IsSupersetOf({alpha, beta}));
    EXPECT_THAT(set(TaskSet::changedTimings), UnorderedElementsAre(alpha, beta));
    EXPECT_FALSE(tracker.flags.timingNotes);
}

TEST_F(ChangeTracking, AColourChangeRepaintsWithoutRedrawingTheStatistics) {
    alpha->setTaskColorTo(TaskColor{0.2, 0.4, 0.6, 1.0});
    trackedSave();
    EXPECT_TRUE(tracker.flags.taskColors);
    EXPECT_TRUE(tracker.flags.datePicker);
    EXPECT_FALSE(tracker.flags.dataDisplay);
    EXPECT_THAT(set(TaskSet::changedColor), ElementsAre(alpha));
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(2));
}

TEST_F(ChangeTracking, RoundingRulesAreAddedAndDeleted) {
    alpha->setRounding(115);
    trackedSave();
    EXPECT_TRUE(tracker.flags.roundingAdded);
    EXPECT_TRUE(tracker.flags.roundingChanged);
    EXPECT_FALSE(tracker.flags.roundingDeleted);

    // Another rounding rule is a change, neither added nor deleted.
    tracker.reset();
    alpha->setRounding(330);
    trackedSave();
    EXPECT_FALSE(tracker.flags.roundingAdded);
    EXPECT_FALSE(tracker.flags.roundingDeleted);
    EXPECT_TRUE(tracker.flags.roundingChanged);

    // Deleting a task that rounds removes its rule.
    tracker.reset();
    context.deleteObject(alpha);
    trackedSave();
    EXPECT_TRUE(tracker.flags.roundingDeleted);
    EXPECT_TRUE(tracker.flags.tasksAddedOrDeleted);
    EXPECT_TRUE(tracker.flags.taskOrder);
}

TEST_F(ChangeTracking, TheSelectionOfTheStatisticsChangesTheConsideredTasks) {
    beta->setTaskIsSelected(!beta->taskIsSelected());
    trackedSave();
    EXPECT_TRUE(tracker.flags.consideredTasksChanged);
    EXPECT_TRUE(tracker.flags.dataDisplay);
    EXPECT_TRUE(tracker.flags.datePicker);
    EXPECT_FALSE(tracker.flags.taskNames);
}

TEST_F(ChangeTracking, ChangesNoViewShowsRaiseNothing) {
    ZRCDOrigin* origin = *alpha->origins().begin();
    origin->setDevice("Difference Engine");
    alpha->setIsVisibleDuringSearch(true);
    trackedSave();

    EXPECT_EQ(tracker.flags, AppChangeTracker::Flags{});
    for (TaskSet which :
         {TaskSet::changedTimingSets, TaskSet::changedTimings, TaskSet::changedArchivedStatus,
          TaskSet::changedTotalTime, TaskSet::changedColor, TaskSet::changedNotes,
          TaskSet::changedRunningTimings})
        EXPECT_THAT(set(which), IsEmpty());
    EXPECT_THAT(tracker.rowsToReload(), IsEmpty());
}

TEST_F(ChangeTracking, RecordsOfAnotherContextAreFoundAgainByUUID) {
    auto child = context.newChildContext();
    ZRCDTask* childBeta = ZRCDTask::getCoreDataTaskWithUUID(*beta->uuid(), *child);
    ASSERT_NE(childBeta, nullptr);
    childBeta->setTaskColorTo(TaskColor{1.0, 0.0, 0.0, 1.0});
    child->processPendingChanges();
    tracker.processInsertedObjects(child->insertedObjects(), child->deletedObjects(),
                                   child->updatedObjects(), true);
    ASSERT_TRUE(child->save());
    child.reset();

    tracker.calculateUpdates_inContext(context);
    EXPECT_THAT(set(TaskSet::changedColor), ElementsAre(beta));
    EXPECT_THAT(tracker.rowsToReload(), ElementsAre(1));
}

TEST_F(ChangeTracking, ResetAndForgetTasksEmptyWhatTheyShould) {
    ASSERT_NE(stoppedTiming(alpha, AppEnvironment::kNow - 600, AppEnvironment::kNow), nullptr);
    trackedSave();
    ASSERT_THAT(set(TaskSet::changedTotalTime), ElementsAre(alpha));

    tracker.forgetTasks();
    EXPECT_THAT(set(TaskSet::changedTotalTime), IsEmpty());
    EXPECT_THAT(tracker.rowsToReload(), IsEmpty());
    EXPECT_TRUE(tracker.flags.menuBarTotalTime);

    tracker.reset();
    EXPECT_EQ(tracker.flags, AppChangeTracker::Flags{});
}

}  // namespace
}  // namespace ravelong
