#include <gtest/gtest.h>

#include <map>

#include "core/chain/ChainTreeChanges.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTimingSet.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "sync/SyncEventFile.h"
#include "sync/cloudkit/CloudKitTestLoop.h"
#include "sync/engine/StoreSnapshot.h"
#include "sync/engine/SyncEngineState.h"
#include "sync/engine/SyncTestComputer.h"

namespace ravelong::sync_testing {
namespace {

namespace fs = std::filesystem;

constexpr Instant kHour = 3600;

std::size_t eventFilesIn(const fs::path& cloud) {
    return fileNamesIn(cloud / "events").size();
}

class StoreSyncEngineTest : public ::testing::Test {
protected:
    SyncTestWorld world;

    // Merges every computer in turn until a whole round changes nothing on the cloud.
    void settle(std::vector<SyncTestComputer*> computers) {
        for (int round = 0; round < 6; ++round) {
            std::size_t before = eventFilesIn(world.cloudFolder);
            for (SyncTestComputer* c : computers) {
                auto merged = c->merge();
                ASSERT_TRUE(merged.has_value()) << c->name();
                ASSERT_TRUE(merged->ok()) << c->name() << ": " << merged->error().description;
            }
            if (round > 0 && eventFilesIn(world.cloudFolder) == before)
                return;
        }
        FAIL() << "the computers kept sending events to each other";
    }
};

TEST_F(StoreSyncEngineTest, ASecondComputerGetsTasksTimingsAndAggregatesOfTheFirst) {
    SyncTestComputer a(world, "a"), b(world, "b");
    ZRCDTask* parent = a.addTask("Client");
    ZRCDTask* child = a.addTask("Design", parent);
    Instant start = world.clock.now() - 30 * kHour;
    a.addTiming(child, start, start + 2 * kHour);
    a.addTiming(child, start + 24 * kHour, start + 25.5 * kHour);

    settle({&a, &b});

    EXPECT_EQ(expectSameStores({&a, &b}).timings.size(), 2u);

    // Nothing comes back: a further round sends and changes nothing.
    std::size_t files = eventFilesIn(world.cloudFolder);
    ASSERT_TRUE(b.merge()->ok());
    ASSERT_TRUE(a.merge()->ok());
    EXPECT_EQ(eventFilesIn(world.cloudFolder), files);
    EXPECT_FALSE(a.context().hasChanges());
    EXPECT_FALSE(b.context().hasChanges());
}

// Two computers on one iCloud account (the in-memory service): each merge brings the back-end's
// cache of the record zone up to date before it lists, also after a restart has loaded a cache
// written by an earlier run.
TEST(StoreSyncEngineCloudKitTest, ComputersOnOneAccountTakeInEachOthersWork) {
    SyncTestWorld world;
    auto container = std::make_shared<InMemoryCloudKitContainer>();
    std::map<std::string, testing::TemporaryDirectory> caches;
    world.makeCloud = [&](MainLoop& loop, const std::string& name) {
        auto database = std::make_shared<InMemoryCloudKitDatabase>(
            loop, container, CloudKitDatabase::Scope::privateScope, "alice");
        return testing::privateCloudKitFileSystem(loop, database, caches[name].path(),
                                                  "iCloud.test");
    };
    SyncTestComputer a(world, "a"), b(world, "b");
    const Instant start = world.clock.now() - 30 * kHour;
    a.addTiming(a.addTask("Client"), start, start + 2 * kHour);
    for (SyncTestComputer* c : {&a, &b, &a}) {
        auto merged = c->merge();
        ASSERT_TRUE(merged.has_value() && merged->ok()) << c->name();
    }
    b.crash();
    a.addTask("Second client");
    ASSERT_TRUE(a.merge()->ok());
    b.start();
    b.addTask("Third client");
    for (SyncTestComputer* c : {&b, &a}) {
        auto merged = c->merge();
        ASSERT_TRUE(merged.has_value() && merged->ok()) << c->name();
    }
    const StoreSnapshot sa = StoreSnapshot::of(a.context()), sb = StoreSnapshot::of(b.context());
    EXPECT_EQ(sa.tasks.size(), 3u);
    EXPECT_EQ(sb.tasks, sa.tasks);
    EXPECT_EQ(sb.timings, sa.timings);
    EXPECT_EQ(sb.timings.size(), 1u);
}

TEST_F(StoreSyncEngineTest, AStoreFilledBeforeSyncWasSetUpIsSentWholeOnce) {
    SyncTestComputer a(world, "a");
    a.crash();
    {
        // A year of work without synchronisation.
        auto file = PersistentStore::open(a.storePath(), ravelongModel());
        ASSERT_TRUE(file.ok());
        auto context = ManagedObjectContext::openMainContext(file.value());
        ASSERT_TRUE(context.ok());
        FixedDeviceIdentity device({"udid-a", 1000, "User", "user", "a"});
        ScopedDeviceIdentity identity{device};
        for (int i = 0; i < 3; ++i) {
            ZRCDTask* task = ZRCDTask::createCoreDataTaskImportWithName(
                "Old " + std::to_string(i), world.clock.now(), nullptr, 0, **context);
            Instant start = world.clock.now() - (i + 2) * 24 * kHour;
            ASSERT_NE(ZRCDTiming::createCoreDataTimingWithStartDate(
                          start, start + kHour, task, std::nullopt, 0, std::nullopt, **context),
                      nullptr);
        }
        ASSERT_TRUE(context.value()->save().ok());
    }
    a.start();
    SyncTestComputer b(world, "b");
    settle({&a, &b});
    EXPECT_EQ(expectSameStores({&a, &b}).tasks.size(), 3u);

    // Sent once: a restart of a sends nothing more.
    std::size_t files = eventFilesIn(world.cloudFolder);
    a.crash();
    a.start();
    ASSERT_TRUE(a.merge()->ok());
    EXPECT_EQ(eventFilesIn(world.cloudFolder), files);
}

TEST_F(StoreSyncEngineTest, TasksAddedAtOnePlaceOnTwoComputersEndInOneSoundChain) {
    SyncTestComputer a(world, "a"), b(world, "b"), c(world, "c");
    a.addTask("First");
    a.addTask("Second");
    settle({&a, &b, &c});
    a.addTask("From a");
    b.addTask("From b");
    c.addTask("From c");
    settle({&a, &b, &c});
    const StoreSnapshot sa = expectSameStores({&a, &b, &c});
    EXPECT_EQ(sa.tasks.size(), 5u);
    EXPECT_EQ(sa.chain.size(), 5u) << "every task in one chain";
}

TEST_F(StoreSyncEngineTest, ConcurrentEditsOfOneTaskKeepBothPropertiesAndAgreeOnTheSameOne) {
    SyncTestComputer a(world, "a"), b(world, "b");
    a.addTask("Report");
    settle({&a, &b});
    ZRCDTask* ta = a.context().fetchAll<ZRCDTask>().front();
    ZRCDTask* tb = b.context().fetchAll<ZRCDTask>().front();
    ta->setTaskDescription(std::string("from a"));
    ta->setTaskName(std::string("Report (a)"));
    ASSERT_TRUE(a.save().ok());
    tb->setIsArchived(true);
    tb->setTaskName(std::string("Report (b)"));
    ASSERT_TRUE(b.save().ok());

    settle({&a, &b});

    for (SyncTestComputer* c : {&a, &b}) {
        ZRCDTask* t = c->context().fetchAll<ZRCDTask>().front();
        EXPECT_EQ(t->taskDescription(), std::optional<std::string>("from a")) << c->name();
        EXPECT_TRUE(t->isArchived()) << c->name();
    }
    EXPECT_EQ(a.context().fetchAll<ZRCDTask>().front()->taskName(),
              b.context().fetchAll<ZRCDTask>().front()->taskName());
}

TEST_F(StoreSyncEngineTest, ATaskDeletedWhileAnotherComputerTimedItComesBackWithThatTiming) {
    SyncTestComputer a(world, "a"), b(world, "b");
    ZRCDTask* task = a.addTask("Support");
    Instant start = world.clock.now() - 5 * kHour;
    a.addTiming(task, start, start + kHour);
    settle({&a, &b});

    a.as([&] { return task_chain::removeCoreDataTaskAndDescendants(task); });
    ASSERT_TRUE(a.save().ok());
    ZRCDTask* taskOnB = b.context().fetchAll<ZRCDTask>().front();
    ZRCDTiming* added = b.addTiming(taskOnB, start + 2 * kHour, start + 3 * kHour);
    std::string addedUuid = *added->uuid();

    settle({&a, &b});

    for (SyncTestComputer* c : {&a, &b}) {
        StoreSnapshot s = StoreSnapshot::of(c->context());
        ASSERT_EQ(s.tasks.size(), 1u) << c->name();
        // The timing made on b survives; the one a deleted with the task stays deleted.
        ASSERT_EQ(s.timings.size(), 1u) << c->name();
        EXPECT_EQ(s.timings.begin()->first, addedUuid) << c->name();
        EXPECT_EQ(s.aggregates, s.rebuiltAggregates) << c->name();
    }
}

TEST_F(StoreSyncEngineTest, AnEventSavedBeforeACrashIsUploadedAfterTheRestart) {
    SyncTestComputer a(world, "a"), b(world, "b");
    settle({&a, &b});
    a.cloud().online = false;
    a.addTask("Written offline");
    EXPECT_FALSE(a.merge()->ok());
    EXPECT_EQ(a.engine().pendingUploads(), 1u);
    a.crash();
    a.start();
    EXPECT_EQ(a.engine().pendingUploads(), 1u);

    settle({&a, &b});
    ASSERT_EQ(b.context().fetchAll<ZRCDTask>().size(), 1u);
    EXPECT_EQ(b.context().fetchAll<ZRCDTask>().front()->taskName(),
              std::optional<std::string>("Written offline"));
    EXPECT_EQ(a.engine().pendingUploads(), 0u);
}

TEST_F(StoreSyncEngineTest, ARestartedComputerNeitherAppliesAgainNorSendsAgain) {
    SyncTestComputer a(world, "a"), b(world, "b");
    ZRCDTask* task = a.addTask("Once");
    a.addTiming(task, world.clock.now() - kHour, world.clock.now());
    settle({&a, &b});
    std::size_t files = eventFilesIn(world.cloudFolder);
    SyncReplica::RecordId id{"ZRCDTask", *task->uuid()};
    auto recordBefore = *b.engine().replica().record(id);

    b.crash();
    b.start();
    ASSERT_NE(b.engine().replica().record(id), nullptr);
    EXPECT_EQ(*b.engine().replica().record(id), recordBefore);
    ASSERT_TRUE(b.merge()->ok());
    EXPECT_EQ(eventFilesIn(world.cloudFolder), files);
    EXPECT_FALSE(b.context().hasChanges());
    EXPECT_EQ(StoreSnapshot::of(b.context()).timings, StoreSnapshot::of(a.context()).timings);
}

// A merge writes into the main context itself when it holds no unsaved changes, and through a
// child context when it does: either way a failed save leaves the store file as it was, an
// unsaved edit of the user is neither lost nor undone, and the merge after a restart finishes.
TEST_F(StoreSyncEngineTest, AMergeKeepsAnUnsavedEditWhetherItsSaveWorksOrNot) {
    struct Case {
        const char* label;
        bool unsavedEdit;
        bool saveFails;
    } cases[] = {
        {"clean context, save works", false, false},
        {"clean context, save fails", false, true},
        {"unsaved edit, save works", true, false},
        {"unsaved edit, save fails", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SyncTestWorld caseWorld;
        SyncTestComputer a(caseWorld, "a"), b(caseWorld, "b");
        ZRCDTask* shared = a.addTask("Shared");
        ASSERT_TRUE(a.merge()->ok());
        ASSERT_TRUE(b.merge()->ok());
        a.addTiming(shared, caseWorld.clock.now() - kHour, caseWorld.clock.now());
        ASSERT_TRUE(a.merge()->ok());

        ZRCDTask* mine = b.context().fetchAll<ZRCDTask>().front();
        if (c.unsavedEdit) {
            b.as([&] {
                mine->setTaskName(std::string("Renamed, not saved"));
                return 0;
            });
        }
        if (c.saveFails) {
            b.saveHook = [] {
                return Status(Error{kStoreErrorDomain, static_cast<int>(StoreErrorCode::DiskFull),
                                    "The disk is full.", ""});
            };
        }
        auto merged = b.merge();
        ASSERT_TRUE(merged.has_value());
        EXPECT_EQ(merged->ok(), !c.saveFails);
        EXPECT_EQ(mine->taskName(),
                  std::optional<std::string>(c.unsavedEdit ? "Renamed, not saved" : "Shared"));
        if (!c.saveFails) {
            EXPECT_EQ(StoreSnapshot::of(b.context()).timings,
                      StoreSnapshot::of(a.context()).timings);
        } else if (!c.unsavedEdit) {
            EXPECT_FALSE(b.context().hasChanges());
            EXPECT_TRUE(b.context().fetchAll<ZRCDTiming>().empty());
        }
        // The store file holds the pulled timing only if the save worked.
        b.crash();
        {
            auto file = PersistentStore::open(b.storePath(), ravelongModel());
            ASSERT_TRUE(file.ok());
            auto fresh = ManagedObjectContext::openMainContext(file.value());
            ASSERT_TRUE(fresh.ok());
            EXPECT_EQ(fresh.value()->fetchAll<ZRCDTiming>().size(), c.saveFails ? 0u : 1u);
        }
        b.start();
        b.saveHook = [&b] { return b.context().save(); };
        ASSERT_TRUE(b.merge()->ok());
        EXPECT_EQ(StoreSnapshot::of(b.context()).timings, StoreSnapshot::of(a.context()).timings);
    }
}

// A crash at every step of a merge, one step further each time: the restarted computer's
// next merge ends with the same store as the other's, and sends nothing twice that matters.
TEST(StoreSyncEngineCrashTest, ACrashAtAnyStepOfAMergeIsFinishedByTheNextMerge) {
    bool struckLate = false;
    for (int steps = 0; steps < 40 && !struckLate; ++steps) {
        SCOPED_TRACE("crash after " + std::to_string(steps) + " callbacks");
        SyncTestWorld world;
        SyncTestComputer a(world, "a"), b(world, "b");
        ZRCDTask* old = b.addTask("Local before");
        b.addTiming(old, world.clock.now() - 3 * kHour, world.clock.now() - 2 * kHour);
        ZRCDTask* task = a.addTask("Pulled");
        a.addTiming(task, world.clock.now() - kHour, world.clock.now());
        ASSERT_TRUE(a.merge()->ok());

        b.crashAfter(steps);
        auto merged = b.merge();
        struckLate = merged.has_value();  // the merge ended before the crash could strike
        b.crash();
        b.start();
        ASSERT_TRUE(b.merge()->ok());
        ASSERT_TRUE(a.merge()->ok());
        ASSERT_TRUE(b.merge()->ok());
        EXPECT_EQ(expectSameStores({&a, &b}).timings.size(), 2u);
    }
    EXPECT_TRUE(struckLate) << "the merge has more steps than the test tries";
}

TEST_F(StoreSyncEngineTest, ATimingArrivingBeforeItsTaskWaitsForIt) {
    SyncTestComputer a(world, "a"), b(world, "b");
    settle({&a, &b});
    ZRCDTask* task = a.addTask("Parent first");
    a.addTiming(task, world.clock.now() - kHour, world.clock.now());
    ASSERT_TRUE(a.merge()->ok());
    // Hide the task's event from b: only the timing's has arrived.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(world.cloudFolder / "events"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 2u);
    fs::path hidden = world.directory / "hidden";
    fs::rename(files.front(), hidden);

    ASSERT_TRUE(b.merge()->ok());
    EXPECT_TRUE(b.context().fetchAll<ZRCDTiming>().empty());

    fs::rename(hidden, files.front());
    ASSERT_TRUE(b.merge()->ok());
    ASSERT_EQ(b.context().fetchAll<ZRCDTiming>().size(), 1u);
    EXPECT_EQ(b.context().fetchAll<ZRCDTiming>().front()->task()->taskName(),
              std::optional<std::string>("Parent first"));
}

TEST_F(StoreSyncEngineTest, AValueOfTheWrongTypeInAnEventIsNotWritten) {
    SyncTestComputer a(world, "a"), b(world, "b");
    ZRCDTask* task = a.addTask("Typed");
    a.addTiming(task, world.clock.now() - kHour, world.clock.now());
    settle({&a, &b});
    ZRCDTiming* timing = b.context().fetchAll<ZRCDTiming>().front();
    const auto start = timing->startDate();
    SyncEvent hostile{
        {1000, "device-z"},
        nlohmann::json::array({{{"entity", "ZRCDTiming"},
                                {"uuid", *timing->uuid()},
                                {"set", {{"startDate", "yesterday"}, {"note", "kept"}}}}})};
    testing::writeFile(world.cloudFolder / "events" / sync_event_file::fileNameFor(hostile.key),
                       sync_event_file::encode(hostile));

    ASSERT_TRUE(b.merge()->ok());
    EXPECT_EQ(timing->startDate(), start);
    EXPECT_EQ(timing->note(), std::optional<std::string>("kept"));
}

TEST_F(StoreSyncEngineTest, AnEventSettingAnotherUuidThanItsRecordsMakesNoSecondRecord) {
    SyncTestComputer a(world, "a"), b(world, "b");
    a.addTask("Named");
    settle({&a, &b});
    std::string uuid = *b.context().fetchAll<ZRCDTask>().front()->uuid();
    for (std::uint64_t lamport : {1000u, 1001u}) {
        SyncEvent hostile{
            {lamport, "device-z"},
            nlohmann::json::array({{{"entity", "ZRCDTask"},
                                    {"uuid", uuid},
                                    {"set", {{"uuid", "OTHER"}, {"taskName", "Renamed"}}}}})};
        testing::writeFile(world.cloudFolder / "events" / sync_event_file::fileNameFor(hostile.key),
                           sync_event_file::encode(hostile));
        ASSERT_TRUE(b.merge()->ok());
    }
    auto tasks = b.context().fetchAll<ZRCDTask>();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks.front()->uuid(), std::optional<std::string>(uuid));
    EXPECT_EQ(tasks.front()->taskName(), std::optional<std::string>("Renamed"));
}

TEST_F(StoreSyncEngineTest, AnEngineWhoseStateCannotBeReadRefusesToMergeAndTouchesNothing) {
    SyncTestComputer a(world, "a");
    a.addTask("Mine");
    a.crash();
    fs::remove_all(a.stateFolder());
    fs::create_directories(a.stateFolder());
    testing::writeFile(a.stateFolder() / SyncEngineState::kFileName, "garbage, not a state");
    a.start(false);
    EXPECT_FALSE(a.engine().stateStatus().ok());
    auto merged = a.merge();
    ASSERT_TRUE(merged.has_value());
    EXPECT_FALSE(merged->ok());
    EXPECT_EQ(merged->error().description, a.engine().stateStatus().error().description);
    EXPECT_FALSE(fs::exists(world.cloudFolder / "events"));
    EXPECT_EQ(a.context().fetchAll<ZRCDTask>().size(), 1u);
}

TEST_F(StoreSyncEngineTest, AStateFolderOfAnotherProgramIsRefusedWithAClearError) {
    fs::path folder = world.directory / "foreign";
    fs::create_directories(folder);
    testing::writeFile(folder / SyncEngineState::kFileName, "not a database at all, really");
    auto opened = SyncEngineState::open(folder);
    ASSERT_FALSE(opened.ok());
    EXPECT_FALSE(opened.error().description.empty());
    EXPECT_EQ(testing::readFile(folder / SyncEngineState::kFileName),
              "not a database at all, really");
}

}  // namespace
}  // namespace ravelong::sync_testing
