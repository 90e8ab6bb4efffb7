#include <gtest/gtest.h>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupRestore.h"
#include "exchange/BackupTexts.h"
#include "exchange/BackupWriter.h"
#include "tests/exchange/BackupTestSupport.h"

namespace ravelong {
namespace {

using backup_restore::Mode;
using backup_testing::BackupTest;
namespace texts = backup_texts;

// A timing of the current generation.
std::string timingV3(const std::string& uuid, const std::string& start, const std::string& end,
                     const std::string& origin = "0a1b2c3d4e5f//1000//0") {
    return "<timing><uuid>" + uuid + "</uuid><startDate>" + start + "</startDate><endDate>" + end +
           "</endDate><newDay>0</newDay><note>n</note><timezone>Europe/Berlin</timezone><origin>" +
           origin + "</origin></timing>";
}

// A task of the current generation with its timings and child tasks (already as XML).
std::string taskV3(const std::string& name, const std::string& uuid,
                   const std::string& timings = "", const std::string& children = "",
                   const std::string& uids = "") {
    return "<task><name>" + name + "</name><description></description><archived>0</archived>" +
           "<color>#112233</color><createdDay>20240301</createdDay><uuid>" + uuid +
           "</uuid><uids>" + uids + "</uids><date>1709251200.000000</date><taskOrigins>" +
           "<origin>0a1b2c3d4e5f//1000//0</origin></taskOrigins>" +
           (timings.empty() ? "" : "<timings>" + timings + "</timings>") +
           (children.empty() ? "" : "<childTasks>" + children + "</childTasks>") + "</task>";
}

std::string fileV3(const std::string& tasks, const std::string& origins = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dataV3><origins>" + origins +
           "</origins><tasks>" + tasks + "</tasks></dataV3>\n";
}

class BackupRestoreTest : public BackupTest {
protected:
    Result<backup_restore::Outcome> runOn(StoreStack& target, const std::filesystem::path& file,
                                          Mode mode, bool ignoreIntegrity = true) {
        backup_restore::Options options;
        options.mode = mode;
        options.ignoreIntegrity = ignoreIntegrity;
        return backup_restore::run(target, file, options);
    }
    ManagedObjectContext& contextOf(StoreStack& target) {
        return *target.managedObjectContext().value();
    }
    std::filesystem::path backupOf(ManagedObjectContext& store, const std::string& name) {
        const std::filesystem::path file = folder() / name;
        EXPECT_TRUE(BackupWriter(store).writeTo(file));
        return file;
    }
};

TEST_F(BackupRestoreTest, RestoringAndWritingAgainGivesTheSameFile) {
    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    const std::filesystem::path first = backupOf(context(), "first.xml");

    auto target = newStack("other");
    auto restored = runOn(*target, first, Mode::restore, false);
    ASSERT_TRUE(restored) << restored.error().description << " " << restored.error().failureReason;
    EXPECT_EQ(restored->counts.numberOfImportedTasks, 8);
    EXPECT_EQ(restored->counts.numberOfImportedTimings, 8);
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(contextOf(*target)), 1u);
    const std::filesystem::path second = backupOf(contextOf(*target), "second.xml");
    EXPECT_EQ(testing::readFile(second), testing::readFile(first));

    // What was restored is in the store file, not only in memory.
    target.reset();
    auto reopened = newStack("other");
    EXPECT_EQ(taskCount(contextOf(*reopened)), 8u);
    EXPECT_EQ(timingCount(contextOf(*reopened)), 8u);
}

TEST_F(BackupRestoreTest, RestoreReplacesTasksAndTimingsButImportMerges) {
    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    const std::filesystem::path part = backupOf(context(), "part.xml");
    ZRCDTask* extra = ZRCDTask::createCoreDataTaskWithName("Extra", false, context());
    ZRCDTiming::createCoreDataTimingWithStartDate(731000000.0, 731003600.0, extra, std::nullopt, 0,
                                                  std::string("EXTRA-TIMING"), context());
    ASSERT_TRUE(context().save());
    const std::filesystem::path full = backupOf(context(), "full.xml");

    struct Case {
        const char* what;
        std::filesystem::path loadFirst;  // restored into a new store before the run
        std::filesystem::path file;
        Mode mode;
        BackupReadCounts counts;
        std::size_t tasks, timings;
    };
    const Case cases[] = {
        {"import into the store it came from", full, full, Mode::import, {0, 9, 0, 0, 9, 0}, 9, 9},
        {"import into a store with part of it", part, full, Mode::import, {1, 8, 0, 1, 8, 0}, 9, 9},
        {"restore over a bigger store", full, part, Mode::restore, {8, 0, 0, 8, 0, 0}, 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto target = newStack(std::string("case-") + std::to_string(&c - cases));
        ASSERT_TRUE(runOn(*target, c.loadFirst, Mode::restore));
        auto outcome = runOn(*target, c.file, c.mode, false);
        ASSERT_TRUE(outcome) << outcome.error().failureReason;
        EXPECT_EQ(outcome->counts, c.counts);
        EXPECT_EQ(taskCount(contextOf(*target)), c.tasks);
        EXPECT_EQ(timingCount(contextOf(*target)), c.timings);
    }
}

TEST_F(BackupRestoreTest, ATimingEndingBeforeItStartsIsSkippedAndNamed) {
    const auto file =
        fileWith("mixed.xml",
                 fileV3(taskV3("Work", "T1",
                               timingV3("G1", "1709629200.000000", "1709632800.000000") +
                                   timingV3("BACKWARDS", "1709632800.000000", "1709629200.000000") +
                                   timingV3("NO-START", "0.000000", "1709629200.000000"))));
    auto outcome = runOn(stack(), file, Mode::restore);
    ASSERT_TRUE(outcome) << outcome.error().failureReason;
    EXPECT_EQ(outcome->counts.numberOfImportedTimings, 1);
    EXPECT_EQ(outcome->counts.numberOfSkippedTimings, 2);
    ASSERT_EQ(outcome->refusedTimings.size(), 2u);
    EXPECT_NE(outcome->refusedTimings[0].find("BACKWARDS"), std::string::npos);
    EXPECT_NE(outcome->refusedTimings[1].find("NO-START"), std::string::npos);
    EXPECT_NE(backup_restore::resultText(Mode::restore, *outcome).find("BACKWARDS"),
              std::string::npos);
    EXPECT_EQ(timingCount(context()), 1u);
}

TEST_F(BackupRestoreTest, AnEditedFileIsRefusedUnlessTheUserAcceptsIt) {
    fillSampleStore(context());
    ASSERT_TRUE(context().save());
    std::string text = testing::readFile(backupOf(context(), "good.xml"));
    text.replace(text.find("<name>Admin</name>"), 18, "<name>Admix</name>");
    const auto edited = fileWith("edited.xml", text);

    auto target = newStack("other");
    auto refused = runOn(*target, edited, Mode::restore, false);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, texts::kBackupIntegrityCode);
    EXPECT_EQ(taskCount(contextOf(*target)), 0u);
    auto accepted = runOn(*target, edited, Mode::restore, true);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(ZRCDTask::getTasksWithName("Admix", true, contextOf(*target)).size(), 1u);
}

TEST_F(BackupRestoreTest, ReadsAThreeTierTreeOfTheCurrentGeneration) {
    const std::string grandchild =
        taskV3("Grandchild", "T3", timingV3("G1", "1709629200", "1709632800"));
    const auto file = fileWith(
        "tree.xml",
        fileV3(taskV3("First", "T1", "", taskV3("Child", "T2", "", grandchild)) +
                   taskV3("Second", "T4", "", "", "OLD-1///OLD-2"),
               "<originDescription><type>3</type><uid>501</uid><userDate>0.000000</userDate>"
               "<user>Ada</user><udid>ffee</udid><deviceDate>1577836800.000000</deviceDate>"
               "<device>Phone</device></originDescription>"));
    auto outcome = runOn(stack(), file, Mode::restore);
    ASSERT_TRUE(outcome) << outcome.error().failureReason;
    ManagedObjectContext& store = context();
    ZRCDTask* leaf = ZRCDTask::getCoreDataTaskWithUUID("T3", store);
    ASSERT_TRUE(leaf);
    ASSERT_TRUE(leaf->parentTask() && leaf->parentTask()->parentTask());
    EXPECT_EQ(leaf->parentTask()->parentTask()->taskName(), "First");
    EXPECT_EQ(leaf->getTaskColor(), (TaskColor{0x11 / 255.0, 0x22 / 255.0, 0x33 / 255.0, 1.0}));
    ASSERT_EQ(leaf->timings().size(), 1u);
    EXPECT_EQ(*leaf->timings().toVector()[0]->startDate(), instantFromUnixTime(1709629200));
    EXPECT_EQ(ZRCDTask::getCoreDataTaskWithUUIDOrUID("OLD-2", store),
              ZRCDTask::getCoreDataTaskWithUUID("T4", store));
    // The chain runs through the tree in file order.
    std::vector<std::string> chain;
    for (ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID("T1", store); task;
         task = task->nextTask())
        chain.push_back(*task->taskName());
    EXPECT_EQ(chain, (std::vector<std::string>{"First", "Child", "Grandchild", "Second"}));
    bool phone = false;
    for (ZRCDOrigin* origin : ZRCDOrigin::getAllOrigins_inContext(store))
        phone =
            phone || (origin->device() == "Phone" && origin->type() == 3 && origin->uid() == 501);
    EXPECT_TRUE(phone);
}

TEST_F(BackupRestoreTest, ReadsTheSecondGeneration) {
    const std::string timing =
        "<timing><uuid>G1</uuid><startDate>1709629200.000000</startDate>"
        "<endDate>1709632800.000000</endDate><note></note><timezone>3600</timezone>"
        "<origin>nowhere</origin></timing>"
        "<timing><uuid>G2</uuid><startDate>1709629200.000000</startDate>"
        "<endDate>1709632800.000000</endDate><maxDate>1709694000.000000</maxDate><note>x</note>"
        "<timezone>3600</timezone><origin>ffee//7//1</origin></timing>";
    std::string text = fileV3(taskV3("Old", "T1", timing));
    for (const char* root : {"dataV3>", "dataV3>"})
        text.replace(text.find(root), 6, "dataV2");
    const auto file = fileWith("v2.xml", text);
    auto outcome = runOn(stack(), file, Mode::restore);
    ASSERT_TRUE(outcome) << outcome.error().description << outcome.error().failureReason;
    ZRCDTiming* noMax = ZRCDTiming::getCoreDataTimingWithUUID("G1", context());
    ZRCDTiming* withMax = ZRCDTiming::getCoreDataTimingWithUUID("G2", context());
    ASSERT_TRUE(noMax && withMax);
    EXPECT_EQ(noMax->newDayOffset(), 0);
    EXPECT_EQ(noMax->timezone(), "GMT+0100");
    // 2024-03-06 04:00 in GMT+0100: the day began at 04:00.
    EXPECT_EQ(withMax->newDayOffset(), 4 * 3600);
    // An origin named in the file but known nowhere is this device's of that type.
    EXPECT_EQ(withMax->origin()->udid(), "0a1b2c3d4e5f");
    EXPECT_EQ(withMax->origin()->type(), 1);
    EXPECT_EQ(noMax->origin()->type(), 0);
}

TEST_F(BackupRestoreTest, ReadsTheFirstGeneration) {
    auto uid = [](int origin, const char* tid, const char* cid, const char* seconds,
                  const char* date) {
        return std::string("<uid><origin>") + std::to_string(origin) + "</origin><tid>" + tid +
               "</tid><cid>" + cid + "</cid><seconds>" + seconds + "</seconds><date>" + date +
               "</date><offset>3600</offset></uid>";
    };
    const std::string timings =
        "<timings>"
        // Start and end given.
        "<timing><absDay>1</absDay><day>20240305</day><duration>60</duration><notes>a</notes>"
        "<timezone>3600</timezone><startDate>1709629200.000000</startDate>"
        "<endDate>1709632800.000000</endDate><maxDate>0</maxDate><uids>" +
        uid(0, "100", "1", "10", "1709000000") +
        "</uids></timing>"
        // From the identifier's date and seconds.
        "<timing><day>20240305</day><duration>60</duration><timezone>3600</timezone><uids>" +
        uid(0, "100", "2", "1800", "1709640000") +
        "</uids></timing>"
        // From the day's noon and the duration.
        "<timing><day>20240306</day><duration>120</duration><timezone>3600</timezone>"
        "<uids></uids></timing>"
        "</timings>";
    const std::string text =
        "<?xml version=\"1.0\"?>\n<tasks><task><name>Legacy</name><description>d</description>"
        "<color>#FF0000</color><archived>0</archived><createdDay>20120101</createdDay><id>3</id>"
        "<uids>" +
        uid(1, "26", "255", "0", "1400000000") + uid(0, "10", "11", "0", "1300000000") + "</uids>" +
        timings + "<childTasks><task><name>Sub</name><uids>" +
        uid(0, "10", "12", "0", "1300000001") + "</uids></task></childTasks></task></tasks>\n";
    const auto file = fileWith("v1.xml", text);
    for (Mode mode : {Mode::restore, Mode::import}) {
        auto outcome = runOn(stack(), file, mode);
        ASSERT_TRUE(outcome) << outcome.error().description << outcome.error().failureReason;
        if (mode == Mode::import) {
            // The second run finds everything but the timing without identifier, which
            // nothing can match.
            EXPECT_EQ(outcome->counts, (BackupReadCounts{0, 2, 0, 1, 2, 0}));
            continue;
        }
        EXPECT_EQ(outcome->counts, (BackupReadCounts{2, 0, 0, 3, 0, 0}));
        ManagedObjectContext& store = context();
        // The earliest identifier gives the uuid; the other becomes a former identifier.
        ZRCDTask* legacy = ZRCDTask::getCoreDataTaskWithUUID("ta/b", store);
        ASSERT_TRUE(legacy);
        EXPECT_EQ(legacy->uids(), "t1a/ff");
        EXPECT_EQ(*legacy->date(), instantFromUnixTime(1300000000));
        // Its own timings move to a subtask of its own (a task with subtasks holds no time).
        ZRCDTask* sub = ZRCDTask::getCoreDataTaskWithUUID("ta/c", store);
        ASSERT_TRUE(sub);
        EXPECT_EQ(sub->parentTask(), legacy);
        EXPECT_TRUE(legacy->timings().empty());
        ZRCDTiming* given = ZRCDTiming::getCoreDataTimingWithUUID("g64/1", store);
        ZRCDTiming* fromIdentifier = ZRCDTiming::getCoreDataTimingWithUUID("g64/2", store);
        ASSERT_TRUE(given && fromIdentifier);
        EXPECT_EQ(*given->startDate(), instantFromUnixTime(1709629200));
        EXPECT_EQ(*fromIdentifier->startDate(), instantFromUnixTime(1709640000));
        EXPECT_EQ(*fromIdentifier->endDate(), instantFromUnixTime(1709641800));
        // Noon of 6 March 2024 in GMT+0100 is 11:00 UTC.
        bool noon = false;
        for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(store))
            noon = noon || (timing->startDate() == instantFromUnixTime(1709722800) &&
                            timing->duration() == 120);
        EXPECT_TRUE(noon);
    }
}

}  // namespace
}  // namespace ravelong
