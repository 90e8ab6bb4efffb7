#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/model/ModelDefaultsKeys.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong {
namespace {

using model_testing::ModelTest;
using ::testing::ElementsAre;

class RecentTasks : public ModelTest {
protected:
    // A task created at `created` (seconds before now) with one timing ending `ended` seconds
    // before now (none when negative).
    ZRCDTask* task(const char* name, double created, double ended) {
        ZRCDTask* t = newTask(name);
        t->setDate(clock.now() - created);
        if (ended >= 0)
            stoppedTiming(t, clock.now() - ended - 60, clock.now() - ended);
        return t;
    }
};

TEST_F(RecentTasks, TheLengthComesFromTheSettingsWithinOneToTwenty) {
    EXPECT_EQ(ZRCDTask::numberOfRecentTasks(), 10);
    for (const auto& [setting, length] : {std::pair{1, 1}, {20, 20}, {21, 10}, {0, 10}}) {
        defaults.setInteger(kZRNumberOfRecentTasks, setting);
        EXPECT_EQ(ZRCDTask::numberOfRecentTasks(), length) << setting;
    }
}

TEST_F(RecentTasks, RunningTasksComeFirstThenTheLatestEndedAndTheListHoldsExactlyN) {
    defaults.setInteger(kZRNumberOfRecentTasks, 3);
    ZRCDTask* old = task("Old", 9000, 5000);
    ZRCDTask* recent = task("Recent", 9000, 100);
    ZRCDTask* middle = task("Middle", 9000, 1000);
    task("Oldest", 9000, 8000);
    ZRCDTask* parent = task("Parent", 10, 10);
    ZRCDTask::createCoreDataTaskImportWithName("Child", clock.now() - 9000, parent, 0, context);
    ZRCDTask* archived = task("Archived", 1, 1);
    archived->setIsArchived(true);
    ZRCDTask* running = task("Running", 9000, 7000);
    ZRCDTiming::createRunningTimingNowForTask_andOrigin(running, 0, context);

    EXPECT_THAT(ZRCDTask::getMostRecentTasks_inContext(context),
                ElementsAre(running, recent, middle));

    defaults.setInteger(kZRNumberOfRecentTasks, 4);
    EXPECT_THAT(ZRCDTask::getMostRecentTasks_inContext(context),
                ElementsAre(running, recent, middle, old));
}

TEST_F(RecentTasks, TasksBeyondTheLatestNAreDatedByTheirCreation) {
    defaults.setInteger(kZRNumberOfRecentTasks, 2);
    ZRCDTask* a = task("A", 9000, 100);
    ZRCDTask* b = task("B", 9000, 200);
    // C's only timing is older than A's and B's, but C itself was made a moment ago (an import
    // brought its old timing), and a new task without timings counts by its creation too.
    ZRCDTask* c = task("C", 50, 3000);
    ZRCDTask* fresh = task("Fresh", 20, -1);
    EXPECT_THAT(ZRCDTask::getMostRecentTasks_inContext(context), ElementsAre(fresh, c));
    defaults.setInteger(kZRNumberOfRecentTasks, 4);
    EXPECT_THAT(ZRCDTask::getMostRecentTasks_inContext(context), ElementsAre(fresh, a, b, c));
}

TEST_F(RecentTasks, ManyRunningTasksAreCutToN) {
    defaults.setInteger(kZRNumberOfRecentTasks, 2);
    for (const char* name : {"R1", "R2", "R3"}) {
        ZRCDTiming::createRunningTimingNowForTask_andOrigin(newTask(name), 0, context);
        clock.advance(1.0);
    }
    auto recent = ZRCDTask::getMostRecentTasks_inContext(context);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0]->taskName(), "R3");
    EXPECT_EQ(recent[1]->taskName(), "R2");
}

}  // namespace
}  // namespace ravelong
