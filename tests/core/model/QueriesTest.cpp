#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ModelDefaultsKeys.h"
#include "core/model/ZRCDOrigin.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// A tree with archived parts:
//   Work            (checked)
//     Alpha         (checked)
//       Alpha-old   archived
//     Beta          archived
//   Home            (not checked)
//     Garden        (checked)
//   Hobby           archived
class TaskQueries : public ModelTest {
protected:
    TaskQueries() {
        work = newTask("Work");
        alpha = child("Alpha", work);
        alphaOld = child("Alpha-old", alpha);
        beta = child("Beta", work);
        home = newTask("Home");
        garden = child("Garden", home);
        hobby = newTask("Hobby");
        alphaOld->setIsArchived(true);
        beta->setIsArchived(true);
        hobby->setIsArchived(true);
        home->setTaskIsSelected(false);
        beta->setTaskIsSelected(false);
        hobby->setTaskIsSelected(false);
    }

    ZRCDTask* child(const char* name, ZRCDTask* parent) {
        return ZRCDTask::createCoreDataTaskImportWithName(name, std::nullopt, parent, 0, context);
    }

    ZRCDTask* work;
    ZRCDTask* alpha;
    ZRCDTask* alphaOld;
    ZRCDTask* beta;
    ZRCDTask* home;
    ZRCDTask* garden;
    ZRCDTask* hobby;
};

TEST_F(TaskQueries, PlainQueriesSplitByArchiveStateTierAndSelection) {
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(context), 7u);
    EXPECT_EQ(ZRCDTask::getCountOfTasksNotArchived_inContext(context), 4u);
    EXPECT_EQ(ZRCDTask::numberOfArchivedTasks_inContext(context), 3u);
    EXPECT_EQ(ZRCDTask::numberOfSelectedTasks_inContext(context), 4u);
    EXPECT_THAT(ZRCDTask::getAllUnarchivedTasks_inContext(context),
                UnorderedElementsAre(work, alpha, home, garden));
    EXPECT_THAT(ZRCDTask::getAllUnarchivedTier1Tasks_inContext(context),
                UnorderedElementsAre(work, home));
    EXPECT_THAT(ZRCDTask::getAllTier1CoreDataTasks_inContext(context),
                UnorderedElementsAre(work, home, hobby));
    EXPECT_THAT(ZRCDTask::getTasksWithName("Beta", false, context), IsEmpty());
    EXPECT_THAT(ZRCDTask::getTasksWithName("Beta", true, context), ElementsAre(beta));
    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUID(*garden->uuid(), context), garden);
    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUID("no such task", context), nullptr);

    // The most recently changed unarchived task without subtasks.
    clock.advance(10.0);
    alpha->setUpdatedDate(clock.now());  // has a subtask
    garden->setUpdatedDate(clock.now() - 1.0);
    EXPECT_EQ(ZRCDTask::getMostRecentUnarchivedLeafTask_inContext(context), garden);
    EXPECT_EQ(ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(context), garden);
}

TEST_F(TaskQueries, TheStatisticsListFollowsTheArchiveFilter) {
    defaults.setInteger(kZRShowTasks, 2);
    EXPECT_THAT(ZRCDTask::getAllTasksConsideringArchivedState_inContext(context),
                UnorderedElementsAre(work, alpha, home, garden));
    EXPECT_THAT(ZRCDTask::getSelectedCoreDataTasks_inContext(context),
                UnorderedElementsAre(work, alpha, garden));
    EXPECT_THAT(ZRCDTask::getSelectedLeafTasks_inContext(context), ElementsAre(garden));

    // Archived: the archived tasks and the tasks holding one below them.
    defaults.setInteger(kZRShowTasks, 1);
    EXPECT_THAT(ZRCDTask::getAllTasksConsideringArchivedState_inContext(context),
                UnorderedElementsAre(work, alpha, alphaOld, beta, hobby));
    EXPECT_THAT(ZRCDTask::getAllTier1TasksConsideringArchivedState_inContext(context),
                UnorderedElementsAre(work, hobby));
    EXPECT_THAT(ZRCDTask::getSelectedCoreDataTasks_inContext(context),
                UnorderedElementsAre(work, alpha, alphaOld));
    // Beta is not checked, but its parent is.
    EXPECT_THAT(ZRCDTask::getSelectedLeafTasks_inContext(context),
                UnorderedElementsAre(alphaOld, beta));

    defaults.setInteger(kZRShowTasks, 3);
    EXPECT_EQ(ZRCDTask::getAllCoreDataTasks_inContext(context).size(), 7u);
    EXPECT_THAT(ZRCDTask::getSelectedLeafTasks_inContext(context),
                UnorderedElementsAre(alphaOld, beta, garden));

    defaults.setInteger(kZRShowTasks, 0);
    EXPECT_THAT(ZRCDTask::getAllTasksConsideringArchivedState_inContext(context), IsEmpty());
    EXPECT_THAT(ZRCDTask::getSelectedLeafTasks_inContext(context), IsEmpty());
}

TEST_F(TaskQueries, ImportLookupsMatchNameParentAndOriginType) {
    ZRCDTask* imported =
        ZRCDTask::createCoreDataTaskImportWithName("Work", std::nullopt, nullptr, 2, context);
    ZRCDTask* importedChild =
        ZRCDTask::createCoreDataTaskImportWithName("Alpha", std::nullopt, imported, 2, context);
    EXPECT_EQ(ZRCDTask::getTier1TaskWithName_andOrigin("Work", 2, context), imported);
    EXPECT_EQ(ZRCDTask::getTier1TaskWithName_andOrigin("Work", 0, context), work);
    EXPECT_EQ(ZRCDTask::getTier1TaskWithName_andOrigin("Alpha", 0, context), nullptr);
    EXPECT_EQ(ZRCDTask::getTaskWithName_andParentTask_andOrigin("Alpha", imported, 2, context),
              importedChild);
    EXPECT_EQ(ZRCDTask::getTaskWithName_andParentTask_andOrigin("Alpha", work, 2, context),
              nullptr);
    EXPECT_EQ(ZRCDTask::getTaskWithName_andParentTask_andOrigin("Alpha", work, 0, context), alpha);
}

TEST_F(TaskQueries, EarliestAndLatestDaysIncludeTheDescendants) {
    EXPECT_EQ(ZRCDTask::getEarliestAndLatestZRYearMonthDayOfTasks({work}, context),
              std::make_pair(0, 0));
    stoppedTiming(alphaOld, berlin(2024, 1, 15, 9), berlin(2024, 1, 15, 10));
    stoppedTiming(beta, berlin(2024, 2, 20, 9), berlin(2024, 2, 20, 10));
    stoppedTiming(garden, berlin(2023, 6, 1, 9), berlin(2023, 6, 1, 10));
    EXPECT_EQ(ZRCDTask::getEarliestAndLatestZRYearMonthDayOfTasks({work}, context),
              std::make_pair(20240115, 20240220));
    EXPECT_EQ(ZRCDTask::getEarliestAndLatestZRYearMonthDayOfTasks({work, garden}, context),
              std::make_pair(20230601, 20240220));
}

using TimingQueries = ModelTest;

TEST_F(TimingQueries, RunningTimingsAreFoundAndFollowStartsAndStops) {
    ZRCDTask* a = newTask("A");
    ZRCDTask* b = newTask("B");
    EXPECT_FALSE(ZRCDTiming::aTimerIsRunning_inContext(context));
    ZRCDTiming* first = ZRCDTiming::createRunningTimingNowForTask_andOrigin(a, 0, context);
    clock.advance(60.0);
    ZRCDTiming* second = ZRCDTiming::createRunningTimingNowForTask_andOrigin(b, 0, context);
    ZRCDTiming* third = ZRCDTiming::createRunningTimingNowForTask_andOrigin(b, 0, context);
    stoppedTiming(a, berlin(2024, 3, 5, 8), berlin(2024, 3, 5, 9));

    EXPECT_TRUE(ZRCDTiming::aTimerIsRunning_inContext(context));
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(context), 3u);
    EXPECT_THAT(ZRCDTiming::getRunningTimings_inContext(context),
                UnorderedElementsAre(first, second, third));
    EXPECT_EQ(ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context).back(), first);
    EXPECT_THAT(ZRCDTask::getTasksThatHaveRunningTimings_inContext(context), ElementsAre(b, a));

    clock.advance(60.0);
    second->setModified(clock.now());
    EXPECT_EQ(ZRCDTiming::getLastModifiedRunningTiming_inContext(context), second);
    EXPECT_EQ(ZRCDTiming::getLastModifiedTiming_inContext(context), second);
    EXPECT_EQ(ZRCDTiming::startDateOfLastModifiedRunningTiming_inContext(context),
              second->startDate());

    second->setEndDate(clock.now());
    third->setEndDate(clock.now());
    EXPECT_THAT(ZRCDTiming::getRunningTimings_inContext(context), ElementsAre(first));
    EXPECT_THAT(ZRCDTask::getTasksThatHaveRunningTimings_inContext(context), ElementsAre(a));
    first->setEndDate(clock.now());
    EXPECT_FALSE(ZRCDTiming::aTimerIsRunning_inContext(context));
    EXPECT_EQ(ZRCDTiming::startDateOfLastModifiedRunningTiming_inContext(context), std::nullopt);
}

TEST_F(TimingQueries, RangesIncludeTheirEndsAndCanLeaveOutArchivedTasks) {
    ZRCDTask* open = newTask("Open");
    ZRCDTask* archived = newTask("Archived");
    archived->setIsArchived(true);
    const Instant t0 = berlin(2024, 3, 1, 9);
    ZRCDTiming* atStart = stoppedTiming(open, t0, t0 + 60);
    ZRCDTiming* inside = stoppedTiming(archived, t0 + 100, t0 + 160);
    ZRCDTiming* atEnd = stoppedTiming(open, t0 + 200, t0 + 260);
    stoppedTiming(open, t0 + 201, t0 + 260);
    EXPECT_THAT(ZRCDTiming::getAllTimingsWithStartDatesBetween(t0, t0 + 200, true, context),
                ElementsAre(atStart, inside, atEnd));
    EXPECT_THAT(ZRCDTiming::getAllTimingsWithStartDatesBetween(t0, t0 + 200, false, context),
                ElementsAre(atStart, atEnd));
    EXPECT_EQ(ZRCDTiming::getAllUnarchivedTimings_inContext(context).size(), 3u);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(context), 4u);
}

TEST_F(TimingQueries, RecentlyEndedMeansWithinTheLastHourLatestFirstAtMostTen) {
    ZRCDTask* task = newTask("Recent");
    const Instant now = clock.now();
    ZRCDTiming* hourAgo = stoppedTiming(task, now - 4000, now - 3600);
    ZRCDTiming* justInside = stoppedTiming(task, now - 4000, now - 3599);
    ZRCDTiming* endsNow = stoppedTiming(task, now - 100, now);
    stoppedTiming(task, now - 10, now + 60);  // ends in the future
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    auto recent = ZRCDTiming::getRecentlyEndedTimingsSortedByLastEndTime_inContext(context);
    EXPECT_THAT(recent, ElementsAre(endsNow, justInside));
    EXPECT_THAT(recent, ::testing::Not(::testing::Contains(hourAgo)));

    for (int i = 0; i < 12; ++i)
        stoppedTiming(task, now - 3000 + i, now - 2000 + i);
    recent = ZRCDTiming::getRecentlyEndedTimingsSortedByLastEndTime_inContext(context);
    ASSERT_EQ(recent.size(), 10u);
    EXPECT_EQ(recent.front(), endsNow);
    EXPECT_EQ(*recent.back()->endDate(), now - 2000 + 3);
}

TEST_F(TimingQueries, SortedTimingsAreThisDevicesOwnByStart) {
    ZRCDTask* task = newTask("Mine");
    ZRCDTiming* later = stoppedTiming(task, berlin(2024, 3, 5, 9), berlin(2024, 3, 5, 10));
    ZRCDTiming* earlier = stoppedTiming(task, berlin(2024, 3, 4, 9), berlin(2024, 3, 4, 10));
    ZRCDTiming* imported =
        ZRCDTiming::createCoreDataTimingWithStartDate(berlin(2024, 3, 3, 9), berlin(2024, 3, 3, 10),
                                                      task, std::nullopt, 2, std::nullopt, context);
    ZRCDTiming* foreign = stoppedTiming(task, berlin(2024, 3, 2, 9), berlin(2024, 3, 2, 10));
    foreign->setOrigin(ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        std::string("Other"), 0.0, std::string("ffffffffffff"), std::string("Bob"), 0.0, 1000, 0,
        context));
    ASSERT_NE(imported, nullptr);
    EXPECT_THAT(ZRCDTiming::sortedTimings(context), ElementsAre(earlier, later));
}

}  // namespace
}  // namespace ravelong
