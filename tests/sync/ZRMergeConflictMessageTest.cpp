#include <gtest/gtest.h>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/DeviceIdentity.h"
#include "core/services/UserScript.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/RecordingUserScript.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"
#include "sync/ZRMergeConflictMessage.h"

namespace ravelong {
namespace {

class MergeConflictMessageTest : public ::testing::Test {
protected:
    SettableClock clock{762'000'000.0};
    ScopedClock scopedClock{clock};
    VirtualMainLoop loop{clock};
    ScopedMainLoop scopedLoop{loop};
    ScopedUserCalendar calendar{"Europe/Berlin", "en_US"};
    testing::TemporaryDirectory directory;
    UserDefaults defaults{directory / "settings.json"};
    ScopedUserDefaults scopedDefaults{UserDefaults::Suite::standard, defaults};
    FixedDeviceIdentity identity{{"0a1b2c3d4e5f", 1000, "Ada", "ada", "Engine"}};
    ScopedDeviceIdentity scopedIdentity{identity};
    RecordingUserScript script;
    ScopedUserScript scopedScript{script};
    ManagedObjectContext context{ravelongModel()};

    ZRCDTask* task(const std::string& name, ZRCDTask* parent = nullptr) {
        auto* t = ZRCDTask::createCoreDataTaskWithName(name, false, context);
        if (parent)
            t->setParentTask(parent);
        return t;
    }
};

TEST_F(MergeConflictMessageTest, TaskTextsNameTheTaskAndShowBothValuesWhereTheyShould) {
    ZRCDTask* work = task("Work");
    ZRCDTask* client = task("Client", work);
    ZRCDTask* home = task("Home");
    using V = ZRMergeConflictMessage::Value;
    struct Case {
        const char* type;
        V value;
        std::string expected;
    } cases[] = {
        {"taskName", V{std::string("Kunde")},
         "A task's name has been changed since the last connection with the cloud.\nCloud value: "
         "Client\nLocal value: Kunde"},
        {"taskDescription", V{},
         "The description of the task \"Work:Client\" has been changed since the last connection "
         "with the cloud."},
        {"parentTask", V{*home->uuid()},
         "The task \"Work:Client\" has been rearranged.\nCloud value: parent task: \"" +
             work->getFullTaskName() + "\"\nLocal value: parent task: \"" +
             home->getFullTaskName() + "\""},
        {"parentTask", V{std::string("no-such-uuid")},
         "The task \"Work:Client\" has been rearranged.\nCloud value: parent task: \"" +
             work->getFullTaskName() + "\"\nLocal value: no parent task"},
        {"date", V{},
         "The created date of task \"Client\" has been changed since the last connection with the "
         "cloud."},
        {"isArchived", V{true},
         "The archived status of task \"Work:Client\" has been changed since the last connection "
         "with the cloud.\nCloud value: not archived\nLocal value: archived"},
        {"isArchived", V{false},
         "The archived status of task \"Work:Client\" has been changed since the last connection "
         "with the cloud.\nCloud value: archived\nLocal value: not archived"},
        {"colour", V{},
         "A value of a task has been changed since the last connection with the cloud."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        std::string expected = c.expected;
        // The full name's separator is the model's own; rebuild the expectation with it.
        auto at = expected.find("Work:Client");
        if (at != std::string::npos)
            expected.replace(at, 11, client->getFullTaskName());
        EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(client, c.type, c.value),
                  expected);
    }
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(home, "parentTask",
                                                                       std::string("x")),
              "The task \"" + home->getFullTaskName() +
                  "\" has been rearranged.\nCloud value: no parent task\nLocal value: no "
                  "parent task");
}

TEST_F(MergeConflictMessageTest, TimingTextsNameTheTimingsTask) {
    ZRCDTask* work = task("Work");
    ZRCDTask* home = task("Home");
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        clock.now() - 3600, clock.now(), work, std::nullopt, 0, std::nullopt, context);
    ASSERT_NE(timing, nullptr);
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(timing, "note", {}),
              "The note of a timing that is assigned to the task \"" + work->getFullTaskName() +
                  "\" has been changed since the last connection with the cloud.");
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(
                  timing, "task", static_cast<const ZRCDTask*>(home)),
              "The assigned task of a timing has been changed since the last connection with the "
              "cloud.\nCloud value: " +
                  work->getFullTaskName() + "\nLocal value: " + home->getFullTaskName());
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(timing, "newDay", {}),
              "The 'new day starts at' setting of a timing that is assigned to the task \"" +
                  work->getFullTaskName() +
                  "\" has been changed since the last connection with the cloud.");
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(timing, "other", {}),
              "A value of a timing has been changed since the last connection with the cloud.");
    EXPECT_EQ(ZRMergeConflictMessage::getMergeConflictMessageForObject(nullptr, "note", {}),
              "A value has been changed since the last connection with the cloud.");
}

TEST(FormatWithObjects, FillsPlaceholdersInOrderAndDropsMissingOnes) {
    EXPECT_EQ(formatWithObjects("a %@ b %@ c", {"1", "2"}), "a 1 b 2 c");
    EXPECT_EQ(formatWithObjects("%@%@", {"x"}), "x");
    EXPECT_EQ(formatWithObjects("100%", {"x"}), "100%");
}

}  // namespace
}  // namespace ravelong
